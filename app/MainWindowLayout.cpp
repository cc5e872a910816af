#include "app/MainWindowLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProxyStyle>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/MainWindowModel.h"
#include "res/ResourceIds.h"

namespace {

// A click on the position slider's groove jumps to that point, as in every player.
class JumpToClickStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_Slider_AbsoluteSetButtons) return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

template <typename W>
W* Named(W* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

QPushButton* Button(QWidget* parent, int id, const QString& text) {
    auto* b = Named(new QPushButton(text, parent), id);
    b->setAutoDefault(false);  // Enter does nothing in this window
    b->setDefault(false);
    return b;
}

QLabel* Label(QWidget* parent, int id, const QString& text = {}) {
    auto* l = Named(new QLabel(text, parent), id);
    l->setTextFormat(Qt::PlainText);
    return l;
}

// A value beside its label. A label aligns its text by the text's own direction, so a Latin
// artist in a right-to-left window would stand at the far end: this one keeps to the side of
// the window's reading direction, whatever script the value is in.
class ValueLabel final : public QLabel {
public:
    explicit ValueLabel(QWidget* parent) : QLabel(parent) { Realign(); }

protected:
    void changeEvent(QEvent* e) override {
        if (e->type() == QEvent::LayoutDirectionChange) Realign();
        QLabel::changeEvent(e);
    }

private:
    void Realign() {
        setAlignment(Qt::AlignVCenter | Qt::AlignAbsolute |
                     (isRightToLeft() ? Qt::AlignRight : Qt::AlignLeft));
    }
};

QLabel* Value(QWidget* parent, int id) {
    auto* l = Named(static_cast<QLabel*>(new ValueLabel(parent)), id);
    l->setTextFormat(Qt::PlainText);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    l->setMinimumWidth(180);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

}  // namespace

MainWindowControls BuildMainWindowControls(QDialog* w, QVBoxLayout* layout,
                                           const std::function<QString(int)>& text) {
    MainWindowControls c;
    QPalette face = w->palette();
    face.setColor(QPalette::Window, QColor(245, 245, 245));
    face.setColor(QPalette::Button, QColor(225, 225, 235));
    w->setPalette(face);
    w->setAutoFillBackground(true);

    // mood
    auto* moodRow = new QHBoxLayout;
    moodRow->addWidget(Label(w, IDC_MAIN_MOOD_LABEL, text(IDS_MOOD)));
    c.moods = Named(new QComboBox(w), IDC_MAIN_MOOD_LIST);
    c.moods->setMinimumWidth(200);
    moodRow->addWidget(c.moods, 1);
    layout->addLayout(moodRow);

    // rating
    auto* rating = Named(new QGroupBox(text(IDS_RATING), w), IDC_MAIN_RATING_GROUP);
    auto* ratingLayout = new QVBoxLayout(rating);
    auto* ratingButtons = new QHBoxLayout;
    c.awesome = Button(rating, IDC_MAIN_AWESOME, text(IDS_AWESOME));
    c.good = Button(rating, IDC_MAIN_GOOD, text(IDS_GOOD));
    c.normal = Button(rating, IDC_MAIN_NORMAL, text(IDS_AVERAGE));
    c.bad = Button(rating, IDC_MAIN_BAD, text(IDS_BAD));
    c.exclude = Button(rating, IDC_MAIN_EXCLUDE, text(IDS_EXCLUDE));
    for (auto* b : {c.awesome, c.good, c.normal, c.bad, c.exclude}) ratingButtons->addWidget(b);
    ratingLayout->addLayout(ratingButtons);
    c.ratingStatus = Label(rating, IDC_MAIN_RATING_STATUS);
    c.ratingStatus->setAlignment(Qt::AlignCenter);
    ratingLayout->addWidget(c.ratingStatus);
    layout->addWidget(rating);

    // play control
    auto* play = Named(new QGroupBox(text(IDS_PLAY_CONTROL), w), IDC_MAIN_PLAY_CONTROL_GROUP);
    auto* playLayout = new QGridLayout(play);
    c.position = Named(new QSlider(Qt::Horizontal, play), IDC_MAIN_POSITION_SLIDER);
    c.position->setRange(0, 0);
    auto* jumpStyle = new JumpToClickStyle;
    jumpStyle->setParent(c.position);
    c.position->setStyle(jumpStyle);
    // milliseconds: Page Up/Down move 5 s, an arrow key 1 s
    c.position->setPageStep(5000);
    c.position->setSingleStep(1000);
    playLayout->addWidget(c.position, 0, 0, 1, 4);
    c.skip = Button(play, IDC_MAIN_SKIP, text(IDS_SKIP));
    c.pause = Button(play, IDC_MAIN_PAUSE, text(IDS_PAUSE));
    playLayout->addWidget(c.pause, 1, 0);
    playLayout->addWidget(c.skip, 1, 1);
    playLayout->addWidget(Label(play, IDC_MAIN_VOLUME_LABEL, text(IDS_VOLUME)), 1, 2,
                          Qt::AlignRight);
    c.volume = Named(new QSlider(Qt::Horizontal, play), IDC_MAIN_VOLUME_SLIDER);
    c.volume->setRange(0, kMaxVolume);
    c.volume->setValue(kDefaultVolume);
    c.volume->setMinimumWidth(110);
    playLayout->addWidget(c.volume, 1, 3);
    playLayout->setColumnStretch(3, 1);
    layout->addWidget(play);

    // track information
    auto* info = Named(new QGroupBox(text(IDS_TRACK_INFORMATION), w), IDC_MAIN_TRACK_INFO_GROUP);
    auto* infoLayout = new QGridLayout(info);
    const int labels[] = {IDS_ARTIST, IDS_TRACK, IDS_ALBUM, IDS_YEAR, IDS_GENRE};
    const int labelIds[] = {IDC_MAIN_ARTIST_LABEL, IDC_MAIN_TRACK_LABEL, IDC_MAIN_ALBUM_LABEL,
                            IDC_MAIN_YEAR_LABEL, IDC_MAIN_GENRE_LABEL};
    QLabel** values[] = {&c.artist, &c.track, &c.album, &c.year, &c.genre};
    const int valueIds[] = {IDC_MAIN_ARTIST, IDC_MAIN_TRACK, IDC_MAIN_ALBUM, IDC_MAIN_YEAR,
                            IDC_MAIN_GENRE};
    for (int i = 0; i < 5; ++i) {
        infoLayout->addWidget(Label(info, labelIds[i], text(labels[i])), i, 0);
        *values[i] = Value(info, valueIds[i]);
        infoLayout->addWidget(*values[i], i, 1);
    }
    infoLayout->setColumnStretch(1, 1);
    c.edit = Button(info, IDC_MAIN_EDIT_TRACK, text(IDS_EDIT));
    infoLayout->addWidget(c.edit, 4, 2);
    layout->addWidget(info);

    // status lines
    c.libraryStatus = Label(w, IDC_MAIN_LIBRARY_STATUS, "Status: Initializing...");
    layout->addWidget(c.libraryStatus);
    auto* downloadRow = new QHBoxLayout;
    c.download = Named(new QCheckBox(text(IDS_DOWNLOAD), w), IDC_MAIN_DOWNLOAD_CHECK);
    downloadRow->addWidget(c.download);
    c.downloadStatus = Label(w, IDC_MAIN_DOWNLOAD_STATUS);
    downloadRow->addWidget(c.downloadStatus, 1);
    layout->addLayout(downloadRow);
    return c;
}

void FillMenu(QMenu* menu, const std::vector<MenuItemDef>& items, QObject* receiver,
              const std::function<void(int)>& onCommand) {
    for (const auto& item : items) {
        if (item.separator) {
            menu->addSeparator();
        } else if (!item.children.empty()) {
            FillMenu(menu->addMenu(QString::fromStdString(item.text)), item.children, receiver,
                     onCommand);
        } else {
            QAction* a = menu->addAction(QString::fromStdString(item.text).section('\t', 0, 0));
            a->setObjectName(QString::number(item.commandId));
            int id = item.commandId;
            QObject::connect(a, &QAction::triggered, receiver, [onCommand, id] { onCommand(id); });
        }
    }
}
