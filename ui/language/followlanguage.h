#ifndef FOLLOWLANGUAGE_H
#define FOLLOWLANGUAGE_H

#include <QtGlobal>

#include <functional>

QT_BEGIN_NAMESPACE
class QObject;
QT_END_NAMESPACE

// Calls `setTexts` again each time `watched` hears that the language
// changed, for texts set in code that no form's retranslateUi knows. The call
// comes once the change has gone through the whole window, so that a form
// resetting its own texts cannot undo it; it ends with `watched`.
void followLanguage(QObject *watched, std::function<void()> setTexts);

#endif // FOLLOWLANGUAGE_H
