#include "ui/gate/gatequestion.h"
#include "ui/language/corewording.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {

QString title(Confirmation confirmation)
{
    switch (confirmation) {
    case Confirmation::Danger: return QCoreApplication::translate("GateQuestion", "危险命令");
    case Confirmation::OutOfRange: return QCoreApplication::translate("GateQuestion", "超出范围");
    case Confirmation::WriteOnly: return QCoreApplication::translate("GateQuestion", "只写寄存器");
    case Confirmation::Identity: return QCoreApplication::translate("GateQuestion", "驱动器身份寄存器");
    case Confirmation::None: break;
    }
    return QString();
}

bool confirmed(QWidget *parent, const GateAnswer &answer)
{
    QMessageBox question(QMessageBox::Warning, title(answer.confirmation),
                         QCoreApplication::translate("GateQuestion", "%1\n仍然写入吗？").arg(wordRequestReason(answer.reason)),
                         QMessageBox::Yes | QMessageBox::No, parent);
    question.setObjectName(QStringLiteral("gateQuestion"));
    question.setDefaultButton(QMessageBox::No);
    question.setEscapeButton(QMessageBox::No);
    return question.exec() == QMessageBox::Yes;
}

} // namespace

bool askGate(QWidget *parent, const std::function<GateAnswer(const WriteConsent &)> &judge, WriteConsent *consent,
             QString *refusal)
{
    // Each answer names one confirmation; there are only so many.
    for (int asked = 0; asked < 5; ++asked) {
        const GateAnswer answer = judge(*consent);
        if (answer.allowed())
            return true;
        if (answer.kind == GateAnswer::Kind::Refused) {
            *refusal = wordRequestReason(answer.reason);
            return false;
        }
        if (!confirmed(parent, answer))
            return false;
        consent->give(answer.confirmation);
    }
    return false;
}
