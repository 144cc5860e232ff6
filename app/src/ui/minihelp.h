#pragma once

#include <QWidget>

class QTextEdit;

// The key-help window shown by F1: one read-only rich-text page built from the key tables, so
// it lists exactly the keys that work.
class MiniHelp : public QWidget {
    Q_OBJECT
public:
    explicit MiniHelp(QWidget* parent = nullptr);

    // The caption is the program title followed by " Keys".
    void SetTitle(const QString& programTitle);
    // Shows the window (modeless) with its top-left corner at the given position in twips.
    void ShowAt(int leftTwips, int topTwips, bool onTop);
    int LeftTwips() const;
    int TopTwips() const;

    // The help document.
    static QString Html();

signals:
    // The window moved; the position is in twips, as it is stored.
    void positionChanged(int leftTwips, int topTwips);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    QTextEdit* text_;
};
