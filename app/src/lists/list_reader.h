#pragma once

// Frequency lists written by other programs: text files with one station a line in columns,
// read record by record through the current import layout (the "IMP_..." settings). The first
// line may name the list's profile: "#!" and the profile name.

#include "lists/record_reader.h"

#include <QString>
#include <QStringList>

#include <functional>

class Nrd535;
class Panel;
class Settings;

class ListReader {
public:
    ListReader(Panel& panel, Nrd535& rx, Settings& settings);

    // Shows the options dialog on its Import tab with the list's profile name (empty when the
    // list names none), where the operator checks the layout; false when it was cancelled.
    using AskProfile = std::function<bool(const QString& profile)>;
    void SetAskProfile(AskProfile ask) { ask_ = std::move(ask); }

    // The list file, kept for the whole run; empty until one is chosen.
    void SetPath(const QString& path);
    const QString& Path() const { return path_; }
    // The profile the open list names, "None" when it names none.
    const QString& ProfileName() const { return profile_; }

    // As ScratchPad::ReadPadRecord, on the list file with the tag "Lg". Start on a closed list
    // first asks for the profile; a cancelled dialog closes the list and shows nothing.
    bool ReadListRecord(ReadOp op, double hz = 0);

    const RecordReader& Reader() const { return reader_; }

private:
    bool askProfile();
    const QStringList& modeTexts();
    void show(const QString& line, qint64 index);

    Panel& panel_;
    Nrd535& rx_;
    Settings& settings_;
    RecordReader reader_;
    QString path_;
    QString profile_;
    QStringList modeTexts_;
    AskProfile ask_;
};
