#ifndef LANGUAGEMENU_H
#define LANGUAGEMENU_H

#include <QMenu>

QT_BEGIN_NAMESPACE
class QAction;
QT_END_NAMESPACE

// The window's language menu: 中文 or English, applied at once to every
// window and dialog, and remembered for the next start.
class LanguageMenu : public QMenu
{
    Q_OBJECT

public:
    explicit LanguageMenu(QWidget *parent = nullptr);

protected:
    void changeEvent(QEvent *event) override;

private:
    QAction *addLanguage(const QString &name, const QString &language);
    void choose(const QString &language);
    void retranslate();

    QAction *chinese;
    QAction *english;
};

#endif // LANGUAGEMENU_H
