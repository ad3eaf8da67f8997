#pragma once

// The whole public API of ZymWindows.
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/OLEStorage.h>
#include <ZymWindows/ZymWindowsMsg-I.h>
#include <ZymWindows/Registry.h>
#include <ZymWindows/RegFile.h>
#include <ZymWindows/Uuid.h>
