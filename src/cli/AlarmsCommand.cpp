// orvalt-cli alarms: the drift alarms still open, as the dashboard judges
// them, and --ack, which records that a person saw one: the alarm's series
// stays closed until it alarms again. The acknowledgement goes straight to
// the database under the login of whoever runs the command; a database that
// can't be written is said, and nothing else changes.

#include <CLI/CLI.hpp>
#include <chrono>
#include <memory>

#include "cli/RecordsCommandParts.h"
#include "domain/PrintableText.h"
#include "platform/HostIdentity.h"
#include "platform/UtcTime.h"
#include "recording/RecordStore.h"
#include "records/RecordTables.h"
#include "records/RecordValues.h"
#include "spc/OpenAlarms.h"

namespace orvalt {

namespace {

// As far back as the line page looks for alarms.
constexpr std::chrono::hours kAlarmsLookBack{7 * 24};

struct AlarmsOptions {
    std::optional<std::string> ack;  // the run whose alarms are acknowledged
    std::optional<std::string> measurement;
    std::string note;
    std::optional<std::string> db;
};

// One line an alarm: the run to acknowledge it by first.
std::string AlarmLine(const OpenAlarm& alarm) {
    return PrintableText(alarm.runUuid)
        .append(": ")
        .append(PrintableText(alarm.series))
        .append(" on ")
        .append(PrintableText(alarm.model))
        .append(", ")
        .append(PrintableText(AlarmStationText(alarm)))
        .append(": raised by ")
        .append(PrintableText(alarm.serial))
        .append(" at ")
        .append(alarm.raisedAt)
        .append(" (")
        .append(PrintableText(alarm.text, kMessageShownMax))
        .append("); newest unit ")
        .append(PrintableText(alarm.newestSerial))
        .append(": ")
        .append(alarm.newestBreaks)
        .append("\n");
}

int ListOpenAlarms(const AlarmsOptions& options, std::ostream& out, std::ostream& err) {
    const RecordsToRead records = OpenRecordsForCommand(options.db, err, kExitRanToEnd);
    if (!records.db) {
        return records.status;
    }
    const std::string since = UtcIsoTime(std::chrono::system_clock::now() - kAlarmsLookBack);
    const Result<std::vector<OpenAlarm>> open = LoadOpenAlarms(*records.db, since);
    if (!open) {
        return RecordsUnreadable(err, PrintableText(open.Error(), kMessageShownMax));
    }
    if (open->empty()) {
        out << "No drift alarm is open.\n";
    }
    for (const OpenAlarm& alarm : *open) {
        out << AlarmLine(alarm);
    }
    return kExitRanToEnd;
}

// The alarms the run raised (of the measurement, when one is named).
Result<std::vector<AlarmAck>> AlarmsToAck(SqlConnection& db, const AlarmsOptions& options) {
    std::vector<SqlValue> params{*options.ack};
    std::string sql =
        "SELECT a.test_index, a.measurement, a.rule FROM alarms a"
        " JOIN run_keys k ON k.run_id = a.run_id WHERE k.run_uuid = $1";
    if (options.measurement) {
        sql += " AND a.measurement = $2";
        params.emplace_back(*options.measurement);
    }
    std::vector<AlarmAck> acks;
    const Result<void> read = db.RunRowByRow(sql, params, [&](SqlRow row) {
        AlarmAck ack;
        ack.runUuid = *options.ack;
        ack.testIndex = static_cast<int>(CellInteger(row[0]));
        ack.measurement = CellText(row[1]);
        ack.rule = static_cast<int>(CellInteger(row[2]));
        acks.push_back(std::move(ack));
    });
    if (!read) {
        return Fail(read.Error());
    }
    return acks;
}

RowWrite AckRow(const AlarmAck& ack) {
    return {&AlarmAcksTable(),
            {ack.runUuid, static_cast<std::int64_t>(ack.testIndex), ack.measurement,
             static_cast<std::int64_t>(ack.rule), ack.ackedAt, ack.ackedBy, ack.host, ack.note}};
}

int Acknowledge(const AlarmsOptions& options, std::ostream& out, std::ostream& err) {
    const Result<std::string> target = RecordsDatabaseFor(options.db);
    if (!target) {
        err << target.Error() << '\n';
        return kExitUsage;
    }
    Result<std::unique_ptr<SqlConnection>> db = OpenRecordDatabase(*target);
    if (!db) {
        return RecordsUnreadable(err, PrintableText(db.Error(), kMessageShownMax));
    }
    Result<std::vector<AlarmAck>> acks = AlarmsToAck(**db, options);
    if (!acks) {
        return RecordsUnreadable(err, PrintableText(acks.Error(), kMessageShownMax));
    }
    if (acks->empty()) {
        return RecordsUnreadable(
            err, std::string("Run ")
                     .append(PrintableText(*options.ack))
                     .append(" raised no drift alarm")
                     .append(options.measurement ? " of " + PrintableText(*options.measurement)
                                                 : std::string())
                     .append("; orvalt-cli alarms lists the open ones by their run."));
    }
    const std::string login = OperatorLoginName();
    std::vector<RowWrite> rows;
    for (AlarmAck& ack : *acks) {
        ack.ackedAt = UtcIsoNow();
        ack.ackedBy = login;
        ack.host = StationHostName();
        ack.note = options.note;
        rows.push_back(AckRow(ack));
    }
    const auto written = WriteRows(**db, rows);
    if (!written) {
        err << "The acknowledgement could not be recorded: "
            << PrintableText(written.Error().why, kMessageShownMax) << '\n';
        return kExitNotSaved;
    }
    out << "Acknowledged " << acks->size() << " drift alarm" << (acks->size() == 1 ? "" : "s")
        << " of run " << PrintableText(*options.ack) << " as " << PrintableText(login) << ".\n";
    return kExitRanToEnd;
}

}  // namespace

RecordsCommand AddAlarmsCommand(CLI::App& app) {
    auto options = std::make_shared<AlarmsOptions>();
    app.description(
        "The drift alarms still open (raised in the last 7 days, their series still breaking "
        "a rule, not acknowledged), each led by the run that raised it. --ack RUN records, "
        "under your login, that its alarms were seen: each series stays closed until it "
        "alarms again.");
    auto* ack = app.add_option("--ack", options->ack, "acknowledge the alarms this run raised")
                    ->type_name("RUN");
    app.add_option("--measurement", options->measurement,
                   "with --ack: only the alarms of this measurement")
        ->needs(ack);
    app.add_option("--note", options->note, "with --ack: a note kept with the acknowledgement")
        ->needs(ack);
    AddDatabaseOption(app, options->db);
    return [options](std::ostream& out, std::ostream& err) {
        return options->ack ? Acknowledge(*options, out, err) : ListOpenAlarms(*options, out, err);
    };
}

}  // namespace orvalt
