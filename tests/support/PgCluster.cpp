#include "support/PgCluster.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace orvalt::test {

namespace fs = std::filesystem;

namespace {

fs::path ServerBinFolder() {
    std::error_code error;
    fs::path newest;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", error)) {
        if (fs::exists(entry.path() / "bin" / "initdb") && entry.path() > newest)
            newest = entry.path();
    }
    return newest.empty() ? newest : newest / "bin";
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Output(const std::string& command) {
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
    std::string text;
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe.get()))
        text += buffer;
    return text;
}

}  // namespace

bool PostgresInstalled() {
    return !ServerBinFolder().empty() && fs::exists("/usr/sbin/runuser");
}

bool PostgresTestsMaySkip() {
    const char* ci = std::getenv("CI");
    return !PostgresInstalled() && (ci == nullptr || std::string(ci) != "true");
}

PgCluster::PgCluster() : bin_(ServerBinFolder()) {
    if (bin_.empty()) {
        problem_ = "PostgreSQL server programs are not installed";
        return;
    }
    const std::string folder = folder_.Path().string();
    if (std::system(("chown postgres " + Quoted(folder)).c_str()) != 0 ||
        !AsPostgres((bin_ / "initdb").string() + " -D " + Quoted(folder + "/data") +
                    " -U orvalt -A trust --no-sync >" + Quoted(folder + "/initdb.log") + " 2>&1")) {
        problem_ = "initdb failed in " + folder;
        return;
    }
    ready_ = Start();
    if (!ready_)
        problem_ = "the server did not start in " + folder;
}

PgCluster::~PgCluster() {
    Stop();
}

bool PgCluster::AsPostgres(const std::string& command) const {
    return std::system(("runuser -u postgres -- sh -c " + Quoted(command)).c_str()) == 0;
}

bool PgCluster::Start() {
    const std::string folder = folder_.Path().string();
    running_ = AsPostgres((bin_ / "pg_ctl").string() + " -D " + Quoted(folder + "/data") + " -l " +
                          Quoted(folder + "/server.log") + " -w -o " +
                          Quoted("-k " + folder + " -c listen_addresses= -c fsync=off") +
                          " start >/dev/null 2>&1");
    return running_;
}

bool PgCluster::Stop() {
    if (!running_)
        return true;
    running_ =
        !AsPostgres((bin_ / "pg_ctl").string() + " -D " +
                    Quoted(folder_.Path().string() + "/data") + " -m fast -w stop >/dev/null 2>&1");
    return !running_;
}

std::string PgCluster::Url(const std::string& user) const {
    return "postgresql://" + user + "@/postgres?host=" + folder_.Path().string();
}

std::string PgCluster::Query(const std::string& sql) const {
    return Output("psql -X -A -t -q " + Quoted(Url()) + " -c " + Quoted(sql) + " 2>&1");
}

}  // namespace orvalt::test
