#pragma once

// range_http_server.py run by a test: it serves one folder on 127.0.0.1 with byte-range
// requests, as a web server or an object store serves a Cloud-Optimized GeoTIFF. The test
// target defines KELDARN_RANGE_HTTP_SERVER as the script's path.

#include <cpl_json.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace keldarn::testing_support {

// range_http_server.py serving one folder on 127.0.0.1, stopped when destroyed.
class RangeServer {
public:
    struct Served {
        std::int64_t bytes = 0;                     // body bytes of all answers
        std::map<std::string, int> requestsByPath;  // "/dem_cog.tif" → requests
    };

    explicit RangeServer(const std::filesystem::path& folder)
    {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // no server outlives a test that crashed
            ::dup2(out[1], STDOUT_FILENO);
            ::execl("/usr/bin/python3", "python3", KELDARN_RANGE_HTTP_SERVER, folder.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(out[1]);
        output_ = out[0];
        if (pid_ > 0)
            port_ = ReadPort();
    }
    ~RangeServer() { Stop(); }
    RangeServer(const RangeServer&) = delete;
    RangeServer& operator=(const RangeServer&) = delete;

    bool Running() const { return pid_ > 0 && port_ > 0; }

    void Stop()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        if (output_ >= 0) {
            ::close(output_);
            output_ = -1;
        }
    }

    std::string Url(const std::string& file) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + file;
    }

    Served Stats() const
    {
        Served served;
        CPLJSONDocument stats;
        if (!stats.LoadUrl(Url("__stats"), nullptr))
            return served;
        served.bytes = stats.GetRoot().GetLong("bytes_sent", -1);
        for (const CPLJSONObject& path : stats.GetRoot().GetObj("paths").GetChildren())
            served.requestsByPath[path.GetName()] = path.GetInteger("requests");
        return served;
    }

private:
    // The first line the server prints, waiting at most 10 s; 0 if none came.
    int ReadPort() const
    {
        std::string line;
        pollfd ready{output_, POLLIN, 0};
        char c = 0;
        while (::poll(&ready, 1, 10000) == 1 && ::read(output_, &c, 1) == 1 && c != '\n')
            line += c;
        return c == '\n' ? std::atoi(line.c_str()) : 0;
    }

    pid_t pid_ = -1;
    int output_ = -1;
    int port_ = 0;
};

}  // namespace keldarn::testing_support
