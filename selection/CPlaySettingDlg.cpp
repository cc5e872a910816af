#include "selection/CPlaySettingDlg.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "selection/PlaySettings.h"
#include "selection/TrackPlayer.h"

namespace {

// Section titles: rated tracks, artist ratings, genre ratings, random tracks.
constexpr int SectionTitleIds[] = {IDC_PLAY_TITLE_RATED, IDC_PLAY_TITLE_ARTIST,
                                   IDC_PLAY_TITLE_GENRE, IDC_PLAY_TITLE_RANDOM};
constexpr int SectionTitleStrings[] = {IDS_PLAY_RATED, IDS_PLAY_ARTIST_BASED, IDS_PLAY_GENRE_BASED,
                                       IDS_PLAY_RANDOM};
// Row labels awesome, good, average, bad: the first ID of each kind; one per section.
constexpr int RowLabelFirstIds[] = {IDC_PLAY_AWESOME_LABEL_FIRST, IDC_PLAY_GOOD_LABEL_FIRST,
                                    IDC_PLAY_NORMAL_LABEL_FIRST, IDC_PLAY_BAD_LABEL_FIRST};
constexpr int RowLabelStrings[] = {IDS_AWESOME, IDS_GOOD, IDS_AVERAGE, IDS_BAD};

constexpr int SliderMaximum = 100;

QString Text(int id, int languageId) {
    return QString::fromStdString(LoadResString(id, languageId));
}

QLabel* MakeLabel(QWidget* parent, int controlId, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::number(controlId));
    return label;
}

}  // namespace

CPlaySettingDlg::CPlaySettingDlg(TrackPlayer& player, CADODataBase* database, int languageId,
                                 QWidget* parent)
    : QDialog(parent), player_(player), database_(database), languageId_(languageId) {
    setObjectName(QString::number(IDD_PLAY_SETTINGS));
    setWindowTitle(Text(IDS_PLAY_SETTINGS, languageId_));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeSection(0, PlayTrackAwesome, 4));
    layout->addWidget(MakeSection(1, PlayArtistAwesome, 4));
    layout->addWidget(MakeSection(2, PlayGenreAwesome, 4));
    layout->addWidget(MakeSection(3, PlayRandom, 1));

    const PlayWeights weights = player_.GetPlayWeights();
    for (int band = 0; band < PlayWeightCount; ++band)
        sliders_[band]->setValue(weights[band]);  // the slider clamps to 0..100

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = new QPushButton(Text(IDS_OK, languageId_), buttons);
    ok->setObjectName(QString::number(IDOK));
    ok->setDefault(true);
    auto* cancel = new QPushButton(Text(IDS_CANCEL, languageId_), buttons);
    cancel->setObjectName(QString::number(IDCANCEL));
    buttons->addButton(ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    connect(ok, &QPushButton::clicked, this, &CPlaySettingDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

QWidget* CPlaySettingDlg::MakeSection(int section, int firstBand, int bandCount) {
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(frame);

    QLabel* title =
        MakeLabel(frame, SectionTitleIds[section], Text(SectionTitleStrings[section], languageId_));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    grid->addWidget(title, 0, 0, 1, 4);

    // Row labels sit in column 0; the sliders run between "Never" and "Often".
    const int firstRow = 1;
    for (int row = 0; row < bandCount; ++row) {
        if (bandCount > 1)
            grid->addWidget(MakeLabel(frame, RowLabelFirstIds[row] + section,
                                      Text(RowLabelStrings[row], languageId_)),
                            firstRow + row, 0);
        auto* slider = new QSlider(Qt::Horizontal, frame);
        slider->setObjectName(QString::number(kPlaySliderIds[firstBand + row]));
        slider->setRange(0, SliderMaximum);
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setTickInterval(10);
        slider->setMinimumWidth(220);
        sliders_[firstBand + row] = slider;
        grid->addWidget(slider, firstRow + row, 2);
    }
    grid->addWidget(
        MakeLabel(frame, IDC_PLAY_NEVER_LABEL_FIRST + section, Text(IDS_NEVER, languageId_)),
        firstRow, 1, bandCount, 1, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(
        MakeLabel(frame, IDC_PLAY_OFTEN_LABEL_FIRST + section, Text(IDS_OFTEN, languageId_)),
        firstRow, 3, bandCount, 1, Qt::AlignLeft | Qt::AlignVCenter);
    grid->setColumnStretch(2, 1);
    grid->setColumnMinimumWidth(0, 70);
    return frame;
}

void CPlaySettingDlg::OnOK() {
    PlayWeights weights{};
    for (int band = 0; band < PlayWeightCount; ++band) weights[band] = sliders_[band]->value();
    StorePlayWeights(player_, database_, weights);
    accept();
}
