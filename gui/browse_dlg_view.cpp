#include "gui/browse_dlg_view.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/form_widgets.h"

namespace tarvedde {

BrowseDlgView::BrowseDlgView(TBrowseDlg& form, Operator& op, QWidget* parent)
    : QDialog(parent),
      form_(form),
      browser_(new OpcBrowserView(form.itb1, form.PropertyView, op)),
      e1_(new QLineEdit),
      lb1_(new QListWidget) {
    setObjectName("BrowseDlg");
    setWindowTitle(ToQt(form_.caption));
    e1_->setObjectName("e1");
    lb1_->setObjectName("lb1");
    auto* buttons = new QHBoxLayout;
    const auto button = [&](const std::string& caption, const char* name) {
        auto* created = new QPushButton(ToQt(caption));
        created->setObjectName(name);
        created->setAutoDefault(false);
        buttons->addWidget(created);
        return created;
    };
    QPushButton* zurueck = button(form_.btZurueck, "btZurueck");
    QPushButton* speichern = button(form_.btSpeichern, "btSpeichern");
    QPushButton* entfernen = button(form_.btEntfernen, "btEntfernen");
    QPushButton* testen = button(form_.btTesten, "btTesten");

    auto* chosen = new QVBoxLayout;
    chosen->addWidget(e1_);
    chosen->addWidget(lb1_, 1);
    chosen->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(browser_, 3);
    layout->addLayout(chosen, 1);
    resize(1100, 480);

    QTreeWidget& tree = browser_->Tree();
    connect(&tree, &QTreeWidget::itemPressed, this, [this](QTreeWidgetItem* item) {
        Run([&] {
            form_.itb1Selected = OpcBrowserView::PathOf(item);
            form_.itb1MouseDown();
        });
    });
    connect(&tree, &QTreeWidget::itemDoubleClicked, this,
            [this] { Run([this] { form_.itb1DblClick(); }); });
    connect(lb1_, &QListWidget::itemSelectionChanged, this,
            [this] { form_.lb1ItemIndex = SelectedRow(*lb1_); });
    connect(lb1_, &QListWidget::itemDoubleClicked, this,
            [this] { Run([this] { form_.lb1DblClick(); }); });
    connect(e1_, &QLineEdit::textEdited, this,
            [this](const QString& text) { form_.e1 = text.toStdString(); });
    connect(zurueck, &QPushButton::clicked, this, &QDialog::accept);
    connect(speichern, &QPushButton::clicked, this,
            [this] { Run([this] { form_.btSpeichernClick(); }); });
    connect(entfernen, &QPushButton::clicked, this,
            [this] { Run([this] { form_.btEntfernenClick(); }); });
    connect(testen, &QPushButton::clicked, this,
            [this] { Run([this] { form_.btTestenClick(); }); });
    Refresh();
}

void BrowseDlgView::Refresh() {
    e1_->setText(ToQt(form_.e1));
    ShowLines(*lb1_, form_.lb1, form_.lb1ItemIndex);
}

}  // namespace tarvedde
