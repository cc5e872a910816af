#pragma once
// The "Play settings" dialog (template 164): one slider per band weight. Main thread only;
// OK hands the positions to the player and tSettings, Cancel changes nothing.

#include <QDialog>
#include <array>

#include "res/StringTable.h"
#include "selection/PlayWeights.h"

class CADODataBase;
class QSlider;
class TrackPlayer;

class CPlaySettingDlg : public QDialog {
    Q_OBJECT
public:
    CPlaySettingDlg(TrackPlayer& player, CADODataBase* database, int languageId = kLanguageEnglish,
                    QWidget* parent = nullptr);

private slots:
    void OnOK();

private:
    QWidget* MakeSection(int section, int firstBand, int bandCount);

    TrackPlayer& player_;
    CADODataBase* database_;
    const int languageId_;
    std::array<QSlider*, PlayWeightCount> sliders_{};
};
