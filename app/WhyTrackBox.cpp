#include "app/WhyTrackBox.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <functional>

#include "app/MainWindow.h"
#include "app/MainWindowModel.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

class LabelFilter : public QObject {
public:
    LabelFilter(QLabel* label, std::function<void()> onClick, std::function<QString()> tooltip)
        : QObject(label),
          label_(label),
          onClick_(std::move(onClick)),
          tooltip_(std::move(tooltip)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton)
            onClick_();
        if (e->type() == QEvent::ToolTip) label_->setToolTip(tooltip_());
        return QObject::eventFilter(watched, e);
    }

private:
    QLabel* label_;
    std::function<void()> onClick_;
    std::function<QString()> tooltip_;
};

}  // namespace

WhyTrackBox::WhyTrackBox(QWidget* parent, int language) : QDialog(parent) {
    setObjectName("WhyTrackBox");
    setWindowTitle(Q(LoadResString(IDS_WHY_TITLE, language)));
    setLayoutDirection(IsRightToLeft(language) ? Qt::RightToLeft : Qt::LeftToRight);
    auto* layout = new QVBoxLayout(this);
    reason_ = new QLabel(this);
    reason_->setWordWrap(true);
    reason_->setMinimumWidth(320);
    reason_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(reason_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

void WhyTrackBox::SetReason(const QString& reason) {
    reason_->setText(reason);
    adjustSize();
}

QString WhyTrackBox::Reason() const { return reason_->text(); }

void ExplainOnLabel(QLabel* label, std::function<void()> onClick,
                    std::function<QString()> tooltip) {
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(new LabelFilter(label, std::move(onClick), std::move(tooltip)));
}

void MainWindow::RegisterWhyThisTrack() {
    const auto showBox = [this] {
        auto* box = findChild<WhyTrackBox*>();
        if (!box) box = new WhyTrackBox(this, links_.language);
        box->SetReason(Q(model_->WhyThisTrack()));
        box->show();
        box->raise();
        box->activateWindow();
    };
    ExplainOnLabel(c_.ratingStatus, showBox, [this] { return Q(model_->WhyThisTrack()); });
    auto own = [this](int id, std::function<void()> f) {
        commands_.RegisterDefault(id, [f = std::move(f)](QWidget*) { f(); });
    };
    // Shown as well as said: without a sound device or a voice, saying it shows nothing.
    own(ID_WHY_THIS_TRACK, [this, showBox] {
        showBox();
        model_->SpeakWhyThisTrack();
    });
    own(ID_LEARN_FROM_SKIPS, [this] {
        if (QAction* a = menuBar_->findChild<QAction*>(QString::number(ID_LEARN_FROM_SKIPS)))
            model_->SetLearnFromSkips(a->isChecked());
    });
}
