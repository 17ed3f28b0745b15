#pragma once

// FTP client on libcurl: one control connection per object, passive mode,
// every failure an FTPClientException.

#include "vendra2exception.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class FTPClientException : public Vendra2Exception
{
public:
    FTPClientException() = default;
    FTPClientException(std::string code, std::string message, std::string dettaglio = {})
        : Vendra2Exception(std::move(code), std::move(message))
        , dettaglio(std::move(dettaglio))
    {
    }

    // Whether the failure concerns one file or folder (missing on the
    // server, access denied, refused, a folder of this computer that cannot
    // be written) rather than the link (no connection, login refused,
    // time-out, connection lost), which may come back by itself.
    bool riguardaIlFile() const;

    // The technical detail behind the reason in the message (libcurl's or
    // the system's own words), for the event log; may be empty.
    std::string dettaglio;
};

class FTPClient : public QObject
{
    Q_OBJECT
public:
    // Connects and logs in; throws on failure.
    FTPClient(std::string host, unsigned short port, std::string user, std::string password);
    // Connects only; login() follows.
    FTPClient(std::string host, unsigned short port);
    // Checks the server name only: connecting waits for login(), so the
    // time-outs set and an abort() called before or during it apply to the
    // connection and the login too.
    static std::unique_ptr<FTPClient> unconnected(std::string host, unsigned short port);
    ~FTPClient() override;

    void login(std::string user, std::string password);

    void setTransferBufferSize(unsigned int size);
    // Later relative remote paths are resolved against it.
    void setWorkingDir(const std::string &dir);

    void uploadFile(const std::string &localPath, const std::string &remotePath, bool overwrite);
    // Returns only when the file is complete; it is written under a temporary
    // name in the destination folder and renamed when whole.
    void downloadFile(const std::string &remotePath, const std::string &localPath, bool overwrite);
    void removeFile(const std::string &remotePath);
    // Removes the file if the server still has it; false when it had gone.
    bool removeFileIfPresent(const std::string &remotePath);
    void close();

    // Bytes received by the last completed downloadFile (64 bits).
    int64_t lastDownloadedBytes() const;

    // Time-outs (milliseconds): connect, and a stall (no byte moving).
    void setConnectTimeout(int ms);
    void setStallTimeout(int ms);

    // Callable from any thread: ends a running or later operation with an
    // FTPClientException within about a second.
    void abort();
    bool isAborted() const;

signals:
    // Bytes done and the file's total, per transfer block.
    void onFileProgress(int done, int total);

private:
    struct Unconnected {
    };
    FTPClient(Unconnected, std::string host, unsigned short port);

    struct Private;
    std::unique_ptr<Private> d;
};
