#include "selection/CPlaySettingDlg.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "res/StringTable.h"
#include "selection/PlaySettings.h"
#include "selection/TrackPlayer.h"

namespace {

constexpr int StringCaption = 3199;
constexpr int StringOK = 3173;
constexpr int StringCancel = 3172;
constexpr int StringNever = 3197;
constexpr int StringOften = 3198;
// Section titles: rated tracks, artist ratings, genre ratings, random tracks.
constexpr int SectionTitleIds[] = {1110, 1111, 1112, 1113};
constexpr int SectionTitleStrings[] = {3193, 3194, 3195, 3196};
// Row labels awesome, good, average, bad: the first ID of each row kind, one per section.
constexpr int RowLabelFirstIds[] = {1114, 1117, 1120, 1123};
constexpr int RowLabelStrings[] = {3105, 3103, 3106, 3107};
constexpr int NeverFirstId = 1126;
constexpr int OftenFirstId = 1130;

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
    setObjectName("164");
    setWindowTitle(Text(StringCaption, languageId_));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeSection(0, PlayTrackAwesome, 4));
    layout->addWidget(MakeSection(1, PlayArtistAwesome, 4));
    layout->addWidget(MakeSection(2, PlayGenreAwesome, 4));
    layout->addWidget(MakeSection(3, PlayRandom, 1));

    const PlayWeights weights = player_.GetPlayWeights();
    for (int band = 0; band < PlayWeightCount; ++band)
        sliders_[band]->setValue(weights[band]);  // the slider clamps to 0..100

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = new QPushButton(Text(StringOK, languageId_), buttons);
    ok->setObjectName("1");
    ok->setDefault(true);
    auto* cancel = new QPushButton(Text(StringCancel, languageId_), buttons);
    cancel->setObjectName("2");
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

    QLabel* title = MakeLabel(frame, SectionTitleIds[section],
                              Text(SectionTitleStrings[section], languageId_));
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
        slider->setObjectName(QString::number(SliderIds[firstBand + row]));
        slider->setRange(0, SliderMaximum);
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setTickInterval(10);
        slider->setMinimumWidth(220);
        sliders_[firstBand + row] = slider;
        grid->addWidget(slider, firstRow + row, 2);
    }
    grid->addWidget(MakeLabel(frame, NeverFirstId + section, Text(StringNever, languageId_)),
                    firstRow, 1, bandCount, 1, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(MakeLabel(frame, OftenFirstId + section, Text(StringOften, languageId_)),
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
