#include "support/BothDatabases.h"

namespace orvalt::test {

BothDatabases::BothDatabases(const std::string& fileName)
    : targets_{(folder_ / fileName).string()} {
    if (PostgresTestsMaySkip()) {
        return;
    }
    cluster_ = std::make_unique<PgCluster>();
    if (cluster_->Ready()) {
        targets_.push_back(cluster_->Url());
    }
}

std::string BothDatabases::Problem() const {
    return cluster_ && !cluster_->Ready() ? cluster_->Problem() : std::string();
}

}  // namespace orvalt::test
