#pragma once
// The small "Why this track?" box: the reason of the current pick in the interface
// language, opened by a click on the main window's rating line. Main thread.

#include <QDialog>
#include <QString>

class QLabel;

class WhyTrackBox : public QDialog {
    Q_OBJECT
public:
    WhyTrackBox(QWidget* parent, int language);
    void SetReason(const QString& reason);
    QString Reason() const;

private:
    QLabel* reason_ = nullptr;
};

// Calls onClick whenever the label is clicked with the left button, and fills its tooltip
// from tooltip when one is about to show (counted only then). Owned by the label.
void ExplainOnLabel(QLabel* label, std::function<void()> onClick, std::function<QString()> tooltip);
