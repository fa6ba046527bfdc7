#include "platform/ConverterReport.h"

#include <string_view>

namespace {

constexpr std::string_view kNoticePrefix = "notice: ";
constexpr qsizetype kReasonLength = 300;

} // namespace

QString ConverterReport::reasonIn(const std::string& report, QStringList& notices) {
    QString reason;
    for (QString line : QString::fromUtf8(report).split(QLatin1Char('\n'))) {
        for (QChar& c : line)
            c = c.isPrint() ? c : QLatin1Char('?');
        const QString trimmed = line.trimmed().left(kReasonLength);
        if (trimmed.startsWith(QLatin1String(kNoticePrefix.data(), kNoticePrefix.size())))
            notices << trimmed.mid(static_cast<qsizetype>(kNoticePrefix.size()));
        else if (!trimmed.isEmpty())
            reason = trimmed;
    }
    return reason;
}
