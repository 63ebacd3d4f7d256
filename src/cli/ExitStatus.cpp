#include "cli/ExitStatus.h"

namespace orvalt {

namespace {

struct ExitMeaning {
    CliExit status;
    const char* meaning;
    bool records;  // a records command may end with it
};

constexpr ExitMeaning kExitMeanings[] = {
    {kExitRanToEnd,
     "the plan ran to its end; history, yield, pareto, report, export, spc, alarms, settings: "
     "done; "
     "rejudge: every record agrees and every seal holds; verify: every seal holds",
     true},
    {kExitAbandonedOrStopped, "a test was abandoned, or the run was stopped", false},
    {kExitUsage,
     "bad usage; a plan, unit profile, limits file, port, results database URL, station key, "
     "or settings key, value or file that can't be used",
     true},
    {kExitDeviceNotOpened, "the device can't be opened", false},
    {kExitNotSaved,
     "a result file, the report's page, the export's file, spc's page, standard output, (spc "
     "--baseline, settings set) the settings file, (alarms --ack) the acknowledgement or "
     "(verify --make-key) the station key could not be written",
     true},
    {kExitLimitFailed, "with --limits: the plan ran to its end and a test failed a limit", false},
    {kExitRecordLost, "the run's record reached neither the results database nor its spool", false},
    {kExitRecordsUnreadable,
     "history, yield, pareto, report, export, rejudge, verify, spc, alarms: the results database "
     "can't "
     "be read (report, export --run, rejudge --run: or holds no such run; export --since: no "
     "run since that day; spc: no run of the model, no such measurement, or too few units to "
     "freeze a baseline; alarms --ack: the run raised no such alarm)",
     true},
    {kExitRecordsDisagree,
     "rejudge: a run judged again disagrees with its record, or its limits or plan no longer read",
     true},
    {kExitSealBroken,
     "verify, rejudge: a seal is broken: a sealed run changed or was removed, a run was inserted "
     "or recorded unsealed, or a seal can't be checked with the keys given",
     true},
};

}  // namespace

std::string ExitStatusTable(bool recordsOnly) {
    std::string table = "Exit statuses:\n";
    for (const ExitMeaning& entry : kExitMeanings) {
        if (recordsOnly && !entry.records) {
            continue;
        }
        // Appended piece by piece: GCC 12 at -O3 takes "lit" + text for an
        // overlapping copy (-Wrestrict).
        table.append("  ").append(std::to_string(entry.status)).append("  ").append(entry.meaning);
        table += '\n';
    }
    return table;
}

}  // namespace orvalt
