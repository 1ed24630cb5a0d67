// The program's application object: shows an error that reaches the event loop instead of
// ending the program.
#pragma once

#include <QApplication>

class TApplication : public QApplication {
  public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* e) override;

    // The box for an exception that reached the top level; an object that is not an exception
    // shows an empty message.
    static void ShowException(const QString& message);
};
