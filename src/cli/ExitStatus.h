#pragma once
// The exit statuses of orvalt-cli, one table for a run and for the records
// commands (history, yield, report, export, rejudge, verify, spc, alarms,
// settings): scripts tell by the number alone what happened, whichever they
// ran, so no number has two meanings.

#include <string>

namespace orvalt {

enum CliExit : int {
    kExitRanToEnd = 0,  // also: a records command did its work
    kExitAbandonedOrStopped = 1,
    kExitUsage = 2,  // also: a plan (or one without tests), unit profile or limits file that
                     // can't be used, a port that won't open, a database URL that is none, a
                     // settings key or value that is none, a settings file to mend first
    kExitDeviceNotOpened = 3,
    kExitNotSaved = 4,  // a result file, the report's page, standard output or settings not written
    kExitLimitFailed = 5,        // the plan ran to its end and a test failed a limit (--limits)
    kExitRecordLost = 6,         // the run's record reached neither the database nor its spool
    kExitRecordsUnreadable = 7,  // the results database can't be read, or holds no run to report
    kExitRecordsDisagree = 8,    // rejudge: a record disagrees with its run judged again
    // 9 is orvalt-dashboard's (a login that may write): no number has two meanings
    kExitSealBroken = 10,  // verify, rejudge: a run's seal is broken
};

// The table as the help shows it, each status with what it means: all of
// them, or those a records command ends with.
std::string ExitStatusTable(bool recordsOnly = false);

}  // namespace orvalt
