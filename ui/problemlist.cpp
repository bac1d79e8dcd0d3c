#include "problemlist.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {

// More lines than this would push the button off a laptop screen.
const int shownProblems = 20;

} // namespace

void showProblemList(QWidget *parent, const QString &summary, const QStringList &problems)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QCoreApplication::translate("ProblemList", "问题"), summary,
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("problemList"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    QString listed = problems.mid(0, shownProblems).join(QLatin1Char('\n'));
    if (problems.size() > shownProblems) {
        listed += QLatin1Char('\n')
            + QCoreApplication::translate("ProblemList", "……另有 %1 个问题，见详细信息").arg(problems.size() - shownProblems);
        box->setDetailedText(problems.join(QLatin1Char('\n')));
    }
    box->setInformativeText(listed);
    box->show();
}
