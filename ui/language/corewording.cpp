#include "ui/language/corewording.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>
#include <QVector>

#include <algorithm>

namespace {

// A hostile map may quote a value of megabytes: matching such a text
// against every wording, part by part, would hold the window for minutes.
// Texts beyond these are shown as they came.
const int longestWorded = 2000;
const int mostParts = 16;

struct Wording
{
    const char *english;
    const char *wording;
};

// The map reader's English wordings, each beside the window's. %1, %2 ...
// are the values; a value may itself be a problem ("line 4: <fault>").
const Wording mapProblems[] = {
    {"slaveAddress \"%1\" is no address from 1 to 247; the address stays %2",
     QT_TRANSLATE_NOOP("MapProblemWording", "slaveAddress“%1”不是 1 到 247 的地址；地址仍为 %2")},
    {"txTime \"%1\" is no whole number of milliseconds from 1 up; %2 is used",
     QT_TRANSLATE_NOOP("MapProblemWording", "txTime“%1”不是不小于 1 的整数毫秒；使用 %2")},
    {"rxOutTime \"%1\" is no whole number of milliseconds; %2 is used",
     QT_TRANSLATE_NOOP("MapProblemWording", "rxOutTime“%1”不是整数毫秒；使用 %2")},
    {"blockRead \"%1\" is no number of registers from 1 to %2; %3 at a time are read",
     QT_TRANSLATE_NOOP("MapProblemWording", "blockRead“%1”不是 1 到 %2 的寄存器个数；每次读取 %3 个")},
    {"line %1: address \"%2\" is no 16-bit number; the row is neither read nor written",
     QT_TRANSLATE_NOOP("MapProblemWording", "第 %1 行：地址“%2”不是 16 位数；此行不读不写")},
    {"line %1: address %2 is already on line %3; values written there are checked against both lines",
     QT_TRANSLATE_NOOP("MapProblemWording", "第 %1 行：地址 %2 已在第 %3 行；写入该地址的值按两行检查")},
    {"line %1: address %2 differs from line %3 in %4; the strictest of both lines holds",
     QT_TRANSLATE_NOOP("MapProblemWording", "第 %1 行：地址 %2 与第 %3 行的 %4 不同；按两行中最严格的一行处理")},
    {"line %1: range \"%2\" is no min~max of two whole numbers, the first not above the second; no range is checked",
     QT_TRANSLATE_NOOP("MapProblemWording", "第 %1 行：范围“%2”不是“最小~最大”形式的两个整数（前者不大于后者）；不检查范围")},
    {"%1 more problems not listed", QT_TRANSLATE_NOOP("MapProblemWording", "另有 %1 个问题未列出")},
    {"line %1: %2; the setting is not used", QT_TRANSLATE_NOOP("MapProblemWording", "第 %1 行：%2；此设置未使用")},
    {"line %1: %2; the row is neither read nor written",
     QT_TRANSLATE_NOOP("MapProblemWording", "第 %1 行：%2；此行不读不写")},
    {"line %1: %2", QT_TRANSLATE_NOOP("MapProblemWording", "第 %1 行：%2")},
    {"line %1 skipped: no register (five fields or more, one of them name)",
     QT_TRANSLATE_NOOP("MapProblemWording", "第 %1 行已跳过：不是寄存器（须有五个或更多字段，其中一个为 name）")},
    {"wordOrder \"%1\" is neither hl nor lh; 32-bit rows without their own wordOrder are neither read nor written",
     QT_TRANSLATE_NOOP("MapProblemWording", "wordOrder“%1”既不是 hl 也不是 lh；没有自己的 wordOrder 的 32 位行不读不写")},
    {"writeFunction \"%1\" is neither 6 nor 16; writes use function 6",
     QT_TRANSLATE_NOOP("MapProblemWording", "writeFunction“%1”既不是 6 也不是 16；写入使用功能码 6")},
    {"line 1's wordOrder, which this 32-bit row takes, is faulty",
     QT_TRANSLATE_NOOP("MapProblemWording", "此 32 位行沿用的第 1 行 wordOrder 有误")},
    {"a 32-bit register at 0xFFFF has no next address; the row is neither read nor written",
     QT_TRANSLATE_NOOP("MapProblemWording", "0xFFFF 处的 32 位寄存器没有下一个地址；此行不读不写")},
    {"32-bit register 0x%1 also takes 0x%2, which line %3 has as a row of its own; neither row is read nor written",
     QT_TRANSLATE_NOOP("MapProblemWording", "32 位寄存器 0x%1 也占用 0x%2，而第 %3 行是该地址自己的一行；两行都不读不写")},
    {"\"%1\" is no number=name pair", QT_TRANSLATE_NOOP("MapProblemWording", "“%1”不是“数字=名称”")},
    {"\"%1\" is no number from %2 to %3", QT_TRANSLATE_NOOP("MapProblemWording", "“%1”不是 %2 到 %3 的数字")},
    {"%1 is named twice", QT_TRANSLATE_NOOP("MapProblemWording", "%1 被命名了两次")},
    {"it names nothing", QT_TRANSLATE_NOOP("MapProblemWording", "其中没有任何名称")},
    {"enum \"%1\" is malformed: %2", QT_TRANSLATE_NOOP("MapProblemWording", "enum“%1”格式有误：%2")},
    {"bits \"%1\" is malformed: %2", QT_TRANSLATE_NOOP("MapProblemWording", "bits“%1”格式有误：%2")},
    {"range \"%1\" holds no value (its minimum is above its maximum)",
     QT_TRANSLATE_NOOP("MapProblemWording", "范围“%1”不含任何值（最小值大于最大值）")},
    {"range \"%1\" goes beyond what a %2 register holds (%3~%4)",
     QT_TRANSLATE_NOOP("MapProblemWording", "范围“%1”超出 %2 寄存器能容纳的值（%3~%4）")},
    {"type \"%1\" is none of u16, s16, u32, s32",
     QT_TRANSLATE_NOOP("MapProblemWording", "type“%1”不是 u16、s16、u32、s32 之一")},
    {"wordOrder \"%1\" is neither hl nor lh", QT_TRANSLATE_NOOP("MapProblemWording", "wordOrder“%1”既不是 hl 也不是 lh")},
    {"scale \"%1\" is no positive number (such as 0.1)",
     QT_TRANSLATE_NOOP("MapProblemWording", "scale“%1”不是正数（如 0.1）")},
    {"bits name the bits of the raw value: no enum or scale beside them",
     QT_TRANSLATE_NOOP("MapProblemWording", "bits 为原始值的各位命名：不能同时有 enum 或 scale")},
    {"role \"%1\" is none of identity, serial, alarm, status, jog, target, position, speed, followingError, "
     "commTimeout, positionGain, speedGain, move, stop",
     QT_TRANSLATE_NOOP("MapProblemWording", "role“%1”不是 identity、serial、alarm、status、jog、target、position、speed、"
                                            "followingError、commTimeout、positionGain、speedGain、move、stop 之一")},
    {"role:%1 is on a row that cannot be written", QT_TRANSLATE_NOOP("MapProblemWording", "role:%1 所在的行不可写")},
    {"role:jog needs a signed row (type s16 or s32): 0 stops, the sign is the direction",
     QT_TRANSLATE_NOOP("MapProblemWording", "role:jog 须为有符号的行（type s16 或 s32）：0 停止，符号为方向")},
    {"role:commTimeout needs unit:ms or unit:s",
     QT_TRANSLATE_NOOP("MapProblemWording", "role:commTimeout 须为 unit:ms 或 unit:s")},
    {"role:%1 needs a command line with exactly one command",
     QT_TRANSLATE_NOOP("MapProblemWording", "role:%1 须在只有一个命令的命令行上")},
    {"role:%1 cannot be a danger command", QT_TRANSLATE_NOOP("MapProblemWording", "role:%1 不能是危险命令")},
    {"role:%1 is on a row that cannot be read", QT_TRANSLATE_NOOP("MapProblemWording", "role:%1 所在的行不可读")},
    {"role:status needs alarmBit:N naming one of the row's bits",
     QT_TRANSLATE_NOOP("MapProblemWording", "role:status 需要 alarmBit:N 指明此行的某一位")},
    {"alarmBit belongs on a role:status row", QT_TRANSLATE_NOOP("MapProblemWording", "alarmBit 只能用在 role:status 的行上")},
    {"command \"%1\" sends what the danger command \"%2\" sends",
     QT_TRANSLATE_NOOP("MapProblemWording", "命令“%1”发送的内容与危险命令“%2”相同")},
    {"command \"%1\" sends what the danger command \"%2\" sends; it is guarded alike",
     QT_TRANSLATE_NOOP("MapProblemWording", "命令“%1”发送的内容与危险命令“%2”相同；同样须先勾选")},
    {"confirm is on a row that can be read; commands go to write-only rows",
     QT_TRANSLATE_NOOP("MapProblemWording", "confirm 所在的行可读；命令只能放在只写的行上")},
    {"confirm, danger and save need a command on the same line",
     QT_TRANSLATE_NOOP("MapProblemWording", "confirm、danger 与 save 需要同一行有 command")},
    {"command is on a row that can be read; commands go to write-only rows",
     QT_TRANSLATE_NOOP("MapProblemWording", "command 所在的行可读；命令只能放在只写的行上")},
    {"command is on a 32-bit row; commands are one register",
     QT_TRANSLATE_NOOP("MapProblemWording", "command 在 32 位行上；命令只占一个寄存器")},
    {"command \"%1\" is no NAME=VALUE", QT_TRANSLATE_NOOP("MapProblemWording", "命令“%1”不是“名称=值”")},
    {"command \"%1\": %2 is outside the register's range %3",
     QT_TRANSLATE_NOOP("MapProblemWording", "命令“%1”：%2 超出寄存器的范围 %3")},
    {"command \"%1\" is named twice", QT_TRANSLATE_NOOP("MapProblemWording", "命令“%1”重名")},
    {"command names no command", QT_TRANSLATE_NOOP("MapProblemWording", "command 没有给出任何命令")},
    {"danger \"%1\" is no command of this line", QT_TRANSLATE_NOOP("MapProblemWording", "danger“%1”不是此行的命令")},
    {"danger names no command", QT_TRANSLATE_NOOP("MapProblemWording", "danger 没有给出任何命令")},
    {"save \"%1\" is also a danger command; the save goes without the tick",
     QT_TRANSLATE_NOOP("MapProblemWording", "save“%1”也是危险命令；保存时不需先勾选")},
    {"save \"%1\" is no command of this line", QT_TRANSLATE_NOOP("MapProblemWording", "save“%1”不是此行的命令")},
    {"register %1: a second %2 row; the first one is used",
     QT_TRANSLATE_NOOP("MapProblemWording", "寄存器 %1：又一个 %2 行；使用第一个")},
    {"register %1: command \"%2\" is already a command of another row; the first one is used",
     QT_TRANSLATE_NOOP("MapProblemWording", "寄存器 %1：命令“%2”已是另一行的命令；使用第一个")},
    {"register %1: a second save command; the first one is used",
     QT_TRANSLATE_NOOP("MapProblemWording", "寄存器 %1：又一个保存命令；使用第一个")},
    {"unknown key '%1' (did you mean '%2'?)", QT_TRANSLATE_NOOP("MapProblemWording", "未知的键“%1”（是否应为“%2”？）")},
    {"unknown key '%1' (known keys: %2)", QT_TRANSLATE_NOOP("MapProblemWording", "未知的键“%1”（已知的键：%2）")},
};

// Why a request came to nothing, as the line's reply handling words it.
const Wording requestReasons[] = {
    {"no valid reply", QT_TRANSLATE_NOOP("RequestReasonWording", "无有效应答")},
    {"no answer", QT_TRANSLATE_NOOP("RequestReasonWording", "无应答")},
    {"cancelled", QT_TRANSLATE_NOOP("RequestReasonWording", "已取消")},
    {"echoed, not read back", QT_TRANSLATE_NOOP("RequestReasonWording", "已回显，未读回")},
    {"echoed; read back: %1", QT_TRANSLATE_NOOP("RequestReasonWording", "已回显；读回：%1")},
    {"the driver does not take function 16 (write multiple registers): %1",
     QT_TRANSLATE_NOOP("RequestReasonWording", "驱动器不支持功能码 16（写多个寄存器）：%1")},
    {"Modbus exception %1: %2", QT_TRANSLATE_NOOP("RequestReasonWording", "Modbus 异常 %1：%2")},
    {"unknown exception", QT_TRANSLATE_NOOP("RequestReasonWording", "未知异常")},
    {"illegal function", QT_TRANSLATE_NOOP("RequestReasonWording", "非法功能码")},
    {"illegal data address", QT_TRANSLATE_NOOP("RequestReasonWording", "非法数据地址")},
    {"illegal data value", QT_TRANSLATE_NOOP("RequestReasonWording", "非法数据值")},
    {"server device failure", QT_TRANSLATE_NOOP("RequestReasonWording", "从站设备故障")},
    {"acknowledge", QT_TRANSLATE_NOOP("RequestReasonWording", "已确认，正在处理")},
    {"server device busy", QT_TRANSLATE_NOOP("RequestReasonWording", "从站设备忙")},
    {"memory parity error", QT_TRANSLATE_NOOP("RequestReasonWording", "存储奇偶校验错误")},
    {"gateway path unavailable", QT_TRANSLATE_NOOP("RequestReasonWording", "网关路径不可用")},
    {"gateway target device failed to respond", QT_TRANSLATE_NOOP("RequestReasonWording", "网关目标设备无响应")},
    {"%1 is not in the map", QT_TRANSLATE_NOOP("RequestReasonWording", "%1 不在映射表中")},
    {"%1 names the driver (identity or serial number): it is never written",
     QT_TRANSLATE_NOOP("RequestReasonWording", "%1 标识驱动器（身份或序列号）：从不写入")},
    {"%1 names the driver (identity or serial number)",
     QT_TRANSLATE_NOOP("RequestReasonWording", "%1 标识驱动器（身份或序列号）")},
    {"%1 is read-only", QT_TRANSLATE_NOOP("RequestReasonWording", "%1 为只读")},
    {"%1 is write-only (a command register)", QT_TRANSLATE_NOOP("RequestReasonWording", "%1 为只写（命令寄存器）")},
    {"%1: %2 is the danger command \"%3\", never sent as the save",
     QT_TRANSLATE_NOOP("RequestReasonWording", "%1：%2 是危险命令“%3”，从不作为保存命令发送")},
    {"%1: %2 is the danger command \"%3\"", QT_TRANSLATE_NOOP("RequestReasonWording", "%1：%2 是危险命令“%3”")},
    {"%1: %2 is outside the map's range %3", QT_TRANSLATE_NOOP("RequestReasonWording", "%1：%2 超出映射表的范围 %3")},
    {"a reply that fits no request came since the run began: nothing more is written",
     QT_TRANSLATE_NOOP("RequestReasonWording", "本次运行中收到了不属于任何请求的应答：不再写入")},
    {"held back: a reply that fits no request came first",
     QT_TRANSLATE_NOOP("RequestReasonWording", "已暂缓发送：此前收到了不属于任何请求的应答")},
};

struct Pattern
{
    QRegularExpression english;
    const char *wording;
};

// Each English wording as a whole-text pattern, the values captured; the
// longest first, so that "line %1: %2" is tried after its longer kin.
template <int size>
QVector<Pattern> patterns(const Wording (&wordings)[size])
{
    QVector<Pattern> list;
    for (const Wording &entry : wordings) {
        QString pattern = QStringLiteral("^");
        const QStringList literals = QString::fromUtf8(entry.english).split(QRegularExpression(QStringLiteral("%\\d")));
        // A line number is digits: "line 4 skipped: ..." is no "line %1: %2".
        for (int i = 0; i < literals.size(); ++i) {
            if (i > 0)
                pattern += literals.at(i - 1).endsWith(QLatin1String("line ")) ? QStringLiteral("(\\d+)")
                                                                              : QStringLiteral("(.*?)");
            pattern += QRegularExpression::escape(literals.at(i));
        }
        list.append({QRegularExpression(pattern + QStringLiteral("$")), entry.wording});
    }
    std::stable_sort(list.begin(), list.end(), [](const Pattern &a, const Pattern &b) {
        return a.english.pattern().size() > b.english.pattern().size();
    });
    return list;
}

// Words texts of one kind, each through the translation's `context`.
class Rewording
{
public:
    template <int size>
    Rewording(const char *context, const Wording (&wordings)[size])
        : context(context)
        , known(patterns(wordings))
    {
    }

    // Several problems of a line come joined by "; ": as many joined parts
    // as make up one known text are worded together, the rest alone.
    QString wordJoined(const QString &text) const
    {
        if (text.size() > longestWorded)
            return text;
        const QStringList parts = text.split(QStringLiteral("; "));
        if (parts.size() > mostParts)
            return text;
        QStringList worded;
        bool anyKnown = false;
        for (int first = 0; first < parts.size();) {
            int last = parts.size();
            bool found = false;
            for (; last > first && !found; --last) {
                const QString wording = wordWhole(parts.mid(first, last - first).join(QStringLiteral("; ")), &found);
                if (found)
                    worded << wording;
            }
            if (!found) {
                worded << parts.at(first);
                last = first;
            }
            anyKnown |= found;
            first = last + 1;
        }
        // A value that is no known text ("a; b" in quotes) keeps its own.
        return anyKnown ? worded.join(QCoreApplication::translate("CoreWording", "；")) : text;
    }

private:
    QString wordWhole(const QString &text, bool *found) const
    {
        for (const Pattern &pattern : known) {
            const QRegularExpressionMatch match = pattern.english.match(text);
            if (!match.hasMatch())
                continue;
            QString result = QCoreApplication::translate(context, pattern.wording);
            QStringList values;
            for (int i = 1; i <= match.lastCapturedIndex(); ++i)
                values << wordJoined(match.captured(i));
            // Markers first, so that a value holding "%1" stays as it is.
            for (int i = values.size(); i >= 1; --i)
                result.replace(QStringLiteral("%") + QString::number(i), QStringLiteral("\x01%1\x01").arg(i));
            for (int i = 1; i <= values.size(); ++i)
                result.replace(QStringLiteral("\x01%1\x01").arg(i), values.at(i - 1));
            *found = true;
            return result;
        }
        *found = false;
        return text;
    }

    const char *context;
    QVector<Pattern> known;
};

} // namespace

QString wordMapProblem(const QString &problem)
{
    static const Rewording wording("MapProblemWording", mapProblems);
    return wording.wordJoined(problem);
}

QString wordRequestReason(const QString &reason)
{
    static const Rewording wording("RequestReasonWording", requestReasons);
    return wording.wordJoined(reason);
}
