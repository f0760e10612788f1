#include "Loader.h"

#include <utility>

TLoader::TLoader(TCOMPort& Port, ILoaderView& AView, TPortMapSource APortMaps)
    : DataBuffer(cDataBufferSize, 0), Comm1(Port), View(AView), PortMaps(std::move(APortMaps)) {}
