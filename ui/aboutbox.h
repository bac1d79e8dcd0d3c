#ifndef ABOUTBOX_H
#define ABOUTBOX_H

class QWidget;

// The program's version, licence and the Qt it runs on: the window title
// keeps its fixed text, so the version is read here.
void showAboutBox(QWidget *parent);

#endif // ABOUTBOX_H
