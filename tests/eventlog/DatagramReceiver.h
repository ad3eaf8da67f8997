#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace eventlogtest {

// A Unix datagram socket bound by the test at `path`, read without waiting:
// a send over a Unix socket has queued its datagram by the time it returns.
class DatagramReceiver {
public:
    explicit DatagramReceiver(const std::filesystem::path& path);
    ~DatagramReceiver();
    DatagramReceiver(const DatagramReceiver&) = delete;
    DatagramReceiver& operator=(const DatagramReceiver&) = delete;

    // The next queued datagram, if any. A datagram that carries a memory
    // file instead of bytes gives that file's contents.
    std::optional<std::string> Next();
    // Takes every queued datagram out and counts them.
    int Drain();

private:
    int m_Fd;
};

// The fields of a journal datagram, in both the text and the binary form;
// a malformed datagram fails the calling test.
std::map<std::string, std::string> JournalFields(const std::string& datagram);

} // namespace eventlogtest
