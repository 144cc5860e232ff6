#pragma once

#include "noise/noise_file.h"
#include "noise/noise_pages.h"

#include <QDialog>

#include <functional>
#include <memory>

class Nrd535;
class Settings;

// "Noise floor estimation": one survey of the noise file as a bar graph, one bar a megahertz,
// with the S-unit scale and the survey's mean. Up and Down page through the file's surveys
// (wrapping), Esc closes. Laid out in twips from the window's font, so it keeps its proportions
// at any screen resolution.
class RxNoise : public QDialog {
    Q_OBJECT
public:
    // survey is the program's survey: the window shows it, and paging leaves it at the survey
    // last shown. The window opens on the survey held; Reload() reads the file.
    RxNoise(NoiseSurvey& survey, const Settings& settings, QWidget* parent = nullptr);
    ~RxNoise() override;

    // Reads the file again and shows its last survey.
    void Reload();
    // Whether paging may read the file into the survey now (not while a survey fills it).
    std::function<bool()> CanPage;
    const NoisePages& Pages() const { return m_pages; }
    // The survey changed while the window is open (a survey running): repaint it.
    void SurveyChanged();

    static QString TitleFor(const NoiseSurvey& survey);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showLine(int line);
    double Px(double twips) const;

    NoiseSurvey& m_survey;
    const Settings& m_settings;
    std::unique_ptr<Nrd535> m_rx; // only for the S-unit scale
    NoisePages m_pages;
    int CharW = 0; // twips of "XX"
    int CharH = 0;
};
