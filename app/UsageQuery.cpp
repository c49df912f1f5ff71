#include "app/UsageQuery.h"

#include "settings/RegVars.h"
#include "traffic/ByteFormat.h"
#include "traffic/PackedDateTime.h"
#include "traffic/UsageReading.h"

namespace {

// Every stored day of the connection, whatever the year.
const QDate FirstDay(1, 1, 1);
const QDate LastDay(9999, 12, 31);

QString Bytes(std::uint64_t bytes)
{
    return QString::fromStdString(FormatBytes(static_cast<std::int64_t>(bytes)));
}

QString JsonString(const QString& text)
{
    QString quoted = "\"";
    for (const QChar c : text) {
        if (c == '"' || c == '\\')
            quoted += QString('\\') + c;
        else if (c.unicode() < 0x20)
            quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar('0'));
        else
            quoted += c;
    }
    return quoted + '"';
}

QString JsonNumber(std::optional<std::uint64_t> number)
{
    return number ? QString::number(*number) : "null";
}

// ISO 8601 local time without an offset, as the period's packed times are.
QString JsonTime(const QDateTime& local)
{
    return local.isValid() ? JsonString(local.toString(Qt::ISODate)) : "null";
}

QString JsonDate(std::optional<QDate> day)
{
    return day ? JsonString(day->toString(Qt::ISODate)) : "null";
}

QString Fields(const QStringList& fields)
{
    return "{" + fields.join(", ") + "}";
}

QString Field(const char* name, const QString& value)
{
    return JsonString(name) + ": " + value;
}

QString List(const QStringList& items)
{
    return items.isEmpty() ? "[]" : "[\n    " + items.join(",\n    ") + "\n  ]";
}

QString StatusText(const UsageSummary& summary, const UsageInput& input)
{
    QStringList lines{QStringLiteral("Connection \"%1\", traffic since %2 %3")
                          .arg(QString::fromStdString(input.connection),
                               QString::fromStdString(DateText(input.periodStart)),
                               QString::fromStdString(TimeText(input.periodStart))),
                      StatusLineText(summary),
                      QStringLiteral("Received %1 Bytes, transmitted %2 Bytes")
                          .arg(Bytes(summary.received), Bytes(summary.transmitted))};
    if (const QString budget = BudgetText(summary); !budget.isEmpty())
        lines << budget;
    lines << ProjectionText(summary) << PaceMethodText(summary);
    return lines.join('\n') + '\n';
}

QString StatusJson(const UsageSummary& summary, const UsageInput& input,
                   const std::vector<platform::FinishedPeriod>& finished)
{
    QStringList days;
    for (const platform::UsageDay& day : summary.days)
        days << Fields({Field("date", JsonDate(day.day)),
                        Field("received", JsonNumber(day.received)),
                        Field("transmitted", JsonNumber(day.transmitted))});
    QStringList periods;
    for (const platform::FinishedPeriod& period : finished)
        periods << Fields({Field("start", JsonTime(PackedToDateTime(period.start))),
                           Field("end", JsonTime(PackedToDateTime(period.end))),
                           Field("received", JsonNumber(period.received)),
                           Field("transmitted", JsonNumber(period.transmitted))});
    const Projection& projection = summary.projection;
    const QStringList fields{
        Field("connection", JsonString(QString::fromStdString(input.connection))),
        Field("period",
              Fields({Field("start", JsonTime(summary.start)),
                      Field("end", summary.end ? JsonTime(summary.end->startOfDay()) : "null")})),
        Field("received", JsonNumber(summary.received)),
        Field("transmitted", JsonNumber(summary.transmitted)),
        Field("total", JsonNumber(summary.total)),
        Field("limit", JsonNumber(summary.limit)),
        Field("used_percent", QString::number(summary.usedPercent)),
        Field("left", JsonNumber(summary.left)),
        Field("daily_budget", JsonNumber(summary.dailyBudget)),
        Field("projection",
              Fields({Field("method", JsonString(PaceMethodKey(projection.method))),
                      Field("per_day", JsonNumber(projection.perDay)),
                      Field("total_at_period_end", JsonNumber(projection.totalAtPeriodEnd)),
                      Field("limit_reached_on", JsonDate(projection.limitReachedOn))})),
        Field("days", List(days)),
        Field("periods", List(periods))};
    return "{\n  " + fields.join(",\n  ") + "\n}\n";
}

QString HistoryCsv(CRegVars& settings)
{
    QString csv = "date,received,transmitted\n";
    platform::UsageHistory* history = settings.Registry.History();
    if (!history)
        return csv;
    for (const platform::UsageDay& day : history->days(FirstDay, LastDay))
        if (day.connection == settings.Connection.Get())
            csv += QStringLiteral("%1,%2,%3\n")
                       .arg(day.day.toString(Qt::ISODate))
                       .arg(day.received)
                       .arg(day.transmitted);
    return csv;
}

} // namespace

CommandLine AnswerUsageQuery(UsageQuery query, const std::filesystem::path& storeFile,
                             const QDateTime& now)
{
    if (!std::filesystem::exists(storeFile))
        return ConsoleAnswer(QStringLiteral("quillmar: no traffic counted yet: %1 does not exist\n")
                                 .arg(QString::fromStdString(storeFile.string())),
                             1);
    CRegVars settings(storeFile, CRegistry::Access::ReadOnly);
    if (!settings.Registry.IsOpen())
        return ConsoleAnswer(QStringLiteral("quillmar: %1\n")
                                 .arg(QString::fromStdString(settings.Registry.OpenError())),
                             1);
    if (query == UsageQuery::HistoryCsv)
        return ConsoleAnswer(HistoryCsv(settings), 0);
    const UsageInput input = ReadUsageInput(settings, now.date(), true);
    const UsageSummary summary = SummarizeUsage(input);
    if (query == UsageQuery::Status)
        return ConsoleAnswer(StatusText(summary, input), 0);
    return ConsoleAnswer(StatusJson(summary, input, ReadPeriods(settings)), 0);
}
