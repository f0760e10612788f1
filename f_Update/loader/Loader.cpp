#include "Loader.h"

#include <utility>

TLoader::TLoader(TCOMPort& Port, ILoaderView& AView, TPortMapSource APortMaps)
    : DataBuffer(cDataBufferSize, 0),
      SerialPort(Port),
      View(AView),
      PortMaps(std::move(APortMaps)) {}
