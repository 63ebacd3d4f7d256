#pragma once
// The two databases a records test must hold on: a SQLite file in a
// temporary folder, and a throw-away PostgreSQL server where one can run
// (outside CI a missing server leaves the file alone).

#include <memory>
#include <string>
#include <vector>

#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace orvalt::test {

class BothDatabases {
  public:
    // `fileName`: the SQLite file's name in the folder.
    explicit BothDatabases(const std::string& fileName);

    // The file's path, then the server's URL when it runs.
    const std::vector<std::string>& Targets() const { return targets_; }
    // Why the server that should run does not; empty when all is well.
    std::string Problem() const;
    // True when there is no server to test against, and that may be.
    bool ServerSkipped() const { return !cluster_; }

  private:
    TempFolder folder_;
    std::unique_ptr<PgCluster> cluster_;
    std::vector<std::string> targets_;
};

}  // namespace orvalt::test
