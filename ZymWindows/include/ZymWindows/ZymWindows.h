#pragma once

// The whole public API of ZymWindows.
#include <ZymWindows/ConsoleLog.h>
#include <ZymWindows/DirectoryObserver.h>
#include <ZymWindows/EventLog.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Guid.h>
#include <ZymWindows/Impersonation.h>
#include <ZymWindows/NTNetwork.h>
#include <ZymWindows/NamedPipe.h>
#include <ZymWindows/NamedPipeClient.h>
#include <ZymWindows/NamedPipeDaemon.h>
#include <ZymWindows/NamedPipeServer.h>
#include <ZymWindows/OLEPropertyStorage.h>
#include <ZymWindows/OLEStorage.h>
#include <ZymWindows/ProcessDump.h>
#include <ZymWindows/RegFile.h>
#include <ZymWindows/Registry.h>
#include <ZymWindows/Service.h>
#include <ZymWindows/Uuid.h>
#include <ZymWindows/ZymWindowsMsg-I.h>
