#pragma once

#include <chrono>
#include <string>

#include "platform/linux/HelperConnection.h"

namespace halvern::helper::protocol {
struct Message;
}

namespace halvern::platform {

/// Zorvik's connection to zorvik-helper over its Unix socket. Each call sends one request and
/// waits for its answer, at most the timeout, so a wedged helper cannot hang Zorvik for ever. The
/// claim lasts while the connection stays open. A connection that breaks (the helper ended, a
/// newer Zorvik of the same user took the helper over, an answer never came) stays closed: every
/// later call fails with the reason, until claim() is called again.
class HelperClient final : public HelperConnection {
public:
    explicit HelperClient(std::string socketPath,
                          std::chrono::milliseconds timeout = std::chrono::seconds(30));
    ~HelperClient() override;
    HelperClient(const HelperClient&) = delete;
    HelperClient& operator=(const HelperClient&) = delete;

    /// $ZORVIK_HELPER_SOCKET when set and not empty, else "/run/zorvik-helper.sock".
    static std::string defaultSocketPath();

    ClaimResult claim() override;
    bool writeFile(const std::string& path, const std::string& content,
                   std::string& error) override;
    bool copyFile(const std::string& from, const std::string& to, std::string& error) override;
    bool renameFile(const std::string& from, const std::string& to, std::string& error) override;
    bool removeFile(const std::string& path, std::string& error) override;
    bool recover(const std::string& path, std::string& error) override;
    bool flushNameCaches(std::string& error) override;
    int takePort80Listener(std::string& error) override;

    /// Closes the connection, which ends the claim.
    void release();

private:
    /// Sends the request and reads its answer; a descriptor that came with it goes to passedFd.
    /// On any failure the connection is closed and error says why.
    bool exchange(const helper::protocol::Message& request, helper::protocol::Message& answer,
                  int* passedFd, std::string& error);
    /// A request answered by Done or Failed.
    bool perform(const helper::protocol::Message& request, std::string& error);
    bool sendAll(const std::string& bytes, std::chrono::steady_clock::time_point deadline,
                 std::string& error);
    bool receive(char* into, std::size_t size, int* passedFd,
                 std::chrono::steady_clock::time_point deadline, std::string& error);
    /// Closes the connection and keeps the reason for later calls.
    void lose(const std::string& why);

    std::string m_socketPath;
    std::chrono::milliseconds m_timeout;
    int m_fd = -1;
    std::string m_lost = "not connected to zorvik-helper";
};

}  // namespace halvern::platform
