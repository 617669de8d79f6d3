#include "gui/statistik_view.h"

#include <QHBoxLayout>
#include <QHideEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <map>

#include "gui/qt_protocol_platform.h"

namespace tarvedde {

namespace {

QIcon IconOf(const QWidget& widget, const std::string& name) {
    static const std::map<std::string, QStyle::StandardPixmap> icons = {
        {"spDrucken", QStyle::SP_FileIcon},         {"Memo1Druck", QStyle::SP_FileIcon},
        {"spSichern", QStyle::SP_DialogSaveButton}, {"Memo1Save", QStyle::SP_DialogSaveButton},
        {"SpeedButton1", QStyle::SP_TrashIcon},     {"SpeedButton2", QStyle::SP_FileDialogListView},
        {"spLaden", QStyle::SP_DialogOpenButton},   {"SpeedButton3", QStyle::SP_DirOpenIcon},
    };
    // The style's own icons only: a theme icon outlives the gui tests' QApplication.
    const auto found = icons.find(name);
    return found == icons.end() ? QIcon() : widget.style()->standardIcon(found->second);
}

}  // namespace

StatistikView::StatistikView(TFo_Statistik& form, QWidget* parent)
    : QWidget(parent, Qt::Window),
      form_(form),
      memo2_(new QTextEdit),
      memo1_(new QTextEdit),
      spinEdit1_(new QSpinBox),
      panel1_(new QLabel) {
    setObjectName("Fo_Statistik");
    memo2_->setObjectName("Memo2");
    memo2_->setReadOnly(true);
    memo1_->setObjectName("Memo1");
    memo1_->setAcceptRichText(false);
    spinEdit1_->setObjectName("SpinEdit1");
    spinEdit1_->setRange(TFo_Statistik::kMinFontSize, TFo_Statistik::kMaxFontSize);
    panel1_->setObjectName("Panel1");
    panel1_->setFrameShape(QFrame::StyledPanel);

    auto* upper = new QWidget;
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->addWidget(BuildRow(false));
    upperLayout->addWidget(memo2_, 1);
    auto* lower = new QWidget;
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(BuildRow(true));
    lowerLayout->addWidget(memo1_, 1);
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(upper);
    splitter->addWidget(lower);
    splitter->setSizes({420, 220});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    resize(920, 680);

    connect(spinEdit1_, &QSpinBox::valueChanged, this, [this](int value) {
        if (refreshing_) {
            return;
        }
        form_.SpinEdit1 = value;
        form_.SpinEdit1Change();
        Refresh();
    });
    connect(memo1_, &QTextEdit::textChanged, this, [this] { Memo1Edited(); });
    form_.Memo2().SetListener([this] { RefreshMemo2(); });
    form_.Memo1().SetListener([this] { RefreshMemo1(); });
    Refresh();
}

StatistikView::~StatistikView() {
    form_.Memo2().SetListener({});
    form_.Memo1().SetListener({});
}

QWidget* StatistikView::BuildRow(bool lower) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (const TFo_Statistik::Action& action : TFo_Statistik::Actions()) {
        if (action.lower != lower) {
            continue;
        }
        QAbstractButton* button = nullptr;
        if (std::string(action.name) == "Button1") {
            button = new QPushButton(action.text);
        } else {
            auto* speedButton = new QToolButton;
            speedButton->setIcon(IconOf(*this, action.name));
            speedButton->setToolTip(action.text);
            speedButton->setAutoRaise(true);
            button = speedButton;
        }
        button->setObjectName(action.name);
        layout->addWidget(button);
        connect(button, &QAbstractButton::clicked, this, [this, action] { Run(action); });
    }
    if (lower) {
        layout->addWidget(panel1_, 1);
        return row;
    }
    layout->addWidget(spinEdit1_);
    auto* panel3 = new QLabel(QString::fromStdString(form_.Panel3));
    panel3->setObjectName("Panel3");
    layout->addWidget(panel3, 1);
    return row;
}

void StatistikView::Run(const TFo_Statistik::Action& action) {
    (form_.*action.click)();
    Refresh();
}

void StatistikView::Refresh() {
    refreshing_ = true;
    setWindowTitle(QString::fromStdString(form_.caption));
    spinEdit1_->setValue(form_.SpinEdit1);
    panel1_->setText(QString::fromStdString(form_.Panel1));
    refreshing_ = false;
    ApplyFontSize();
}

void StatistikView::ApplyFontSize() {
    for (QTextEdit* memo : {memo2_, memo1_}) {
        QFont font = memo->font();
        if (font.pointSize() != form_.SpinEdit1) {
            font.setPointSize(form_.SpinEdit1);
            memo->setFont(font);
        }
    }
}

// A day change adds hundreds of paragraphs one by one: only the new ones are drawn.
void StatistikView::RefreshMemo2() {
    if (!isVisible()) {
        return;
    }
    const std::size_t count = form_.Memo2().Paragraphs().size();
    if (count < memo2Shown_) {
        memo2_->clear();
        memo2Shown_ = 0;
    }
    AppendRichParagraphs(form_.Memo2(), memo2Shown_, *memo2_->document());
    memo2Shown_ = count;
}

void StatistikView::RefreshMemo1() {
    if (!isVisible() || refreshing_) {
        return;
    }
    refreshing_ = true;
    QStringList lines;
    for (const std::string& line : form_.Memo1().Lines()) {
        lines << QString::fromStdString(line);
    }
    memo1_->setPlainText(lines.join('\n'));
    refreshing_ = false;
}

void StatistikView::Memo1Edited() {
    if (refreshing_) {
        return;
    }
    refreshing_ = true;
    form_.Memo1Edited(memo1_->toPlainText().toStdString());
    refreshing_ = false;
}

void StatistikView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        form_.FormShow();
        Refresh();
    }
    memo2_->clear();
    memo2Shown_ = 0;
    RefreshMemo2();
    RefreshMemo1();
}

void StatistikView::hideEvent(QHideEvent* event) {
    // Minimising is no close: the form keeps its showing.
    if (!event->spontaneous()) {
        form_.FormClose();
    }
    QWidget::hideEvent(event);
}

}  // namespace tarvedde
