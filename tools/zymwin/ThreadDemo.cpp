#include "Command.h"

#include <ZymCharset/Conv.h>
#include <ZymCharset/Utf.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>

#include <cstdio>
#include <string>

namespace zymwin {

namespace {

constexpr char16_t SAMPLE[] = u"Grüße, 東京";

std::string HexBytes(const std::string& bytes) {
    std::string out;
    char digits[4];
    for (const char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x ", static_cast<unsigned char>(byte));
        out += digits;
    }
    return out;
}

// Converts the sample to each code page on a thread of its own, and tells
// the waiting main thread when it is done through an event.
class Converter : public ZymThread::Function {
public:
    explicit Converter(ZymThread::EventSemaphore& done) : m_Done(done) {}
    void* Call(void*) override {
        // Signalled however the thread ends, so that the main thread never
        // waits for a thread that is gone.
        struct SignalOnExit {
            ZymThread::EventSemaphore& event;
            ~SignalOnExit() { event.Set(); }
        } signal{m_Done};
        for (const Zym::CHARSET charset : {65001u, 932u, 50220u, 1252u}) {
            // Windows installations (and Wine) may lack ISO-2022-JP.
            if (!ZymCharset::Conv::IsImplemented(charset)) {
                std::printf("  %5u: not available on this system\n", charset);
                continue;
            }
            const std::string bytes = ZymCharset::Conv::FromWide(charset, SAMPLE);
            const std::u16string back = ZymCharset::Conv::ToWide(charset, bytes);
            std::printf("  %5u: %s-> \"%s\"\n", charset, HexBytes(bytes).c_str(),
                        ZymCharset::ToUtf8(back).c_str());
        }
        return nullptr;
    }

private:
    ZymThread::EventSemaphore& m_Done;
};

void ThreadDemo() {
    ZymThread::EventSemaphore done(true, false);
    const Zym::SmartPtr<ZymThread::Thread> worker =
        new ZymThread::Thread("demo converter", new Converter(done));
    std::printf("\"%s\" in four code pages, converted on thread \"%s\":\n",
                ZymCharset::ToUtf8(SAMPLE).c_str(), worker->Name().c_str());
    worker->Run();
    std::printf("event signalled: %s\n", done.Wait() == ZymThread::WAIT_OBJECT_0 ? "yes" : "no");
}

const Registration g_ThreadDemo(DemoStep{10, "Threads, events and code pages", ThreadDemo});

} // namespace

} // namespace zymwin
