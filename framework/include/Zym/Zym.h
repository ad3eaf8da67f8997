#pragma once

// The whole public API of the Zym framework.
#include <Zym/BinaryStream.h>
#include <Zym/BinaryStreamBuf.h>
#include <Zym/Exception.h>
#include <Zym/FastVector.h>
#include <Zym/Handle.h>
#include <Zym/LastError.h>
#include <Zym/MessageInfo.h>
#include <Zym/NoCase.h>
#include <Zym/RefCountVector.h>
#include <Zym/RefCounter.h>
#include <Zym/SmartPtr.h>
#include <ZymCharset/Conv.h>
#include <ZymCharset/Utf.h>
#include <ZymFile/MemoryBuffer.h>
#include <ZymFile/Seek.h>
#include <ZymFile/StaticMemoryBuffer.h>
#include <ZymMessages/ZymMessages.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>
