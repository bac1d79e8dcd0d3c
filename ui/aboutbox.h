#ifndef ABOUTBOX_H
#define ABOUTBOX_H

class QWidget;

// The program's version (the one the window title and --version show),
// licence and the Qt it runs on.
void showAboutBox(QWidget *parent);

#endif // ABOUTBOX_H
