#include "ComPort.h"

// Created before main runs; never freed. Operations close the port themselves.
TCOMPort Comm1 = [] {
  TCOMPort Port;
  Port.BaudRate = 9600;
  return Port;
}();
