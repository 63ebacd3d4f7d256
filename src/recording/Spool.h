#pragma once
// The local spool, one SQLite file that every station process of a user may
// share: some add rows while one forwards them. Forwarding goes run by run
// and removes only the rows it forwarded, as it read them; a row another
// process added or brought up to date meanwhile stays for the next forward. A
// run the database refuses for good is set aside in the spool, with why,
// and tried again only behind the others.

#include <string>
#include <vector>

#include "records/RecordTables.h"
#include "records/SqlConnection.h"

namespace orvalt {

struct SpooledRun {
    std::string uuid;
    bool setAside = false;
};

// Adds the spool's own table, of the runs set aside, beside the records'.
Result<SqlRows> PrepareSpool(SqlConnection& spool);

// The runs waiting, those set aside last.
Result<std::vector<SpooledRun>> SpooledRuns(SqlConnection& spool);

// Every row of one run, parents before children.
Result<std::vector<RowWrite>> SpooledRows(SqlConnection& spool, const std::string& uuid);

// Removes the rows that are still as `rows` holds them, and the run's mark
// when it was set aside; in one transaction.
Result<SqlRows> RemoveForwarded(SqlConnection& spool, const std::string& uuid,
                                const std::vector<RowWrite>& rows);

Result<SqlRows> SetAside(SqlConnection& spool, const std::string& uuid, const std::string& why);

// The run a row belongs to: its first column in every table.
std::string RunOf(const RowWrite& row);

}  // namespace orvalt
