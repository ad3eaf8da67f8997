#include "ZymWindows/ConsoleLog.h"

#include "logwindow/LogWindowPlatform.h"

#include <ZymCharset/Conv.h>
#include <ZymThread/Thread.h>

namespace ZymWindows {

ConsoleLog::ConsoleLog(const std::u16string& title, int width, int height, void* icon,
                       ZymThread::EventSemaphore* closeEvent, unsigned int maxEntries)
    : m_Window(Platform::NewLogWindowHost({title, width, height, icon, maxEntries, closeEvent})) {
    m_Thread =
        new ZymThread::Thread(ZymCharset::Conv::FromWide(Zym::CHARSET_UTF8, title),
                              new ZymThread::FunctionT<ConsoleLog>(this, &ConsoleLog::EntryPoint));
    m_Thread->Run();
    const unsigned long result = m_Ready.Wait();
    if (result != ZymThread::WAIT_OBJECT_0 && result != 0x80 && result != ZymThread::WAIT_TIMEOUT)
        ZymThread::ThrowLastError();
}

ConsoleLog::~ConsoleLog() {
    // A destructor cannot raise: a window thread that cannot be told to stop
    // ends the process here instead of leaving it waiting for that thread.
    if (!m_Stop.Set())
        ZymThread::ThrowLastError();
    // Waits until the window thread has destroyed its window.
    m_Thread = nullptr;
}

void ConsoleLog::Show() {
    m_Window->View().SetVisible(true);
}

void ConsoleLog::Hide() {
    m_Window->View().SetVisible(false);
}

bool ConsoleLog::IsVisible() const {
    return m_Window->View().IsVisible();
}

bool ConsoleLog::HasDisplay() const {
    return m_Window->HasDisplay();
}

void ConsoleLog::EntryAdded(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) {
    m_Window->View().EntryAdded(entry);
}

void ConsoleLog::EntryClosed(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) {
    m_Window->View().EntryChanged(entry);
}

void ConsoleLog::EntryCancelled(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) {
    m_Window->View().EntryCancelled(entry);
}

void ConsoleLog::EntryChanged(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry,
                              EntryChanges) {
    m_Window->View().EntryChanged(entry);
}

void* ConsoleLog::EntryPoint(void*) {
    m_Window->Run(m_Ready, m_Stop);
    return nullptr;
}

} // namespace ZymWindows
