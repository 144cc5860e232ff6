#pragma once

#include <QString>

#include <array>

// One noise-floor survey: the weakest raw S-meter reading (0..255, larger is weaker) seen in
// each megahertz segment from 0 to 29 MHz, 0 for a segment without a reading; their mean; and
// when the survey was made. The program holds the survey last read or measured.
struct NoiseSurvey {
    static constexpr int Segments = 30;

    std::array<int, Segments> Levels{};
    int Mean = 0;
    QString Date;
    QString Time;
};

// The mean of the segments 0..last that have a reading, rounded to the nearest integer (halves
// to even); 0 when none has one.
int NoiseMeanOf(const std::array<int, NoiseSurvey::Segments>& levels, int last);

// A survey as one line of the noise file, without its line end: date|time|mean|30 levels,
// numbers formatted "000".
QString FormatNoiseLine(const NoiseSurvey& survey);

// Reads one noise-file line into survey. Fields: date, time, mean, then up to 30 levels;
// levels the line does not give are 0. A line with fewer than three fields, more than 30
// levels, or a number that is not 0..255 in decimal digits is rejected: false, survey
// unchanged. The separator is "|"; a CR or LF at the end is ignored.
bool ParseNoiseLine(NoiseSurvey& survey, const QString& line, QChar separator = QLatin1Char('|'));

// Reads the noise file from its start until line `index` (1-based) or its end, and parses the
// last line read into survey (left unchanged when that line is rejected). index -1 reads the
// whole file. Returns the number of lines read; 0 and survey unchanged when the file cannot be
// opened.
int LoadNoiseLine(const QString& path, NoiseSurvey& survey, int index);

// Appends the survey as one line (CR LF end) to the noise file in a single write, so a crash
// or a full disk never leaves half a line followed by the next survey. False when the file
// could not be opened or the whole line could not be written.
bool AppendNoiseLine(const QString& path, const NoiseSurvey& survey);
// What the operator is told when a survey's line could not be appended to path.
QString NoiseFileFailedText(const QString& path);
