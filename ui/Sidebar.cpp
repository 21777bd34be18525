#include "ui/Sidebar.h"

#include "ui/DrawModeControl.h"
#include "ui/ElidedLabel.h"
#include "ui/RegionsBlock.h"
#include "ui/SidebarRules.h"
#include "ui/SidebarStyle.h"
#include "ui/Theme.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

using Property = AppModel::Property;

// A section: its title over its content, 8 apart.
QVBoxLayout* addSection(QVBoxLayout* into, const QString& title, QWidget* parent)
{
    auto* section = new QVBoxLayout;
    section->setSpacing(8);
    section->addWidget(SidebarStyle::secondaryLabel(title, SidebarStyle::font(10, QFont::Bold, true, 1.5), parent));
    into->addLayout(section);
    return section;
}

// A row with a fixed-width label before its controls.
QHBoxLayout* addLabelledRow(QVBoxLayout* into, const QString& label, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    QLabel* l = SidebarStyle::secondaryLabel(label, SidebarStyle::font(11), parent);
    l->setFixedWidth(46);
    row->addWidget(l);
    into->addLayout(row);
    return row;
}

QLineEdit* textField(const QString& placeholder, const QString& accessibleName, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setPlaceholderText(placeholder);
    field->setFont(SidebarStyle::font(13));
    field->setAccessibleName(accessibleName);
    return field;
}

// Shows the model's value in a field the user may be typing in: an echo of what was typed
// changes nothing, and another value keeps the cursor where it was.
void showInField(QLineEdit* field, const QString& value)
{
    if (field->text() == value) return;
    const int cursor = field->cursorPosition();
    field->setText(value);
    field->setCursorPosition(std::min<int>(cursor, int(value.size())));
}

}  // namespace

Sidebar::Sidebar(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setFixedWidth(columnWidth);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Theme::panel());
    setPalette(pal);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeSettings());
    column->addWidget(makeScanBlock());
    column->addWidget(SidebarStyle::divider(this));
    regions_ = new RegionsBlock(model, plan_, this);
    column->addWidget(regions_, 1);

    refreshResolutions();
    refreshColorMode();
    refreshScanButton();
    refreshCaption();
    refreshFolder();
    connect(&model, &AppModel::changed, this, &Sidebar::onModelChanged);
}

QWidget* Sidebar::makeSettings()
{
    auto* block = new QWidget(this);
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(16);

    QVBoxLayout* output = addSection(column, QStringLiteral("OUTPUT"), block);
    auto* rows = new QVBoxLayout;
    rows->setSpacing(8);
    output->addLayout(rows);

    baseName_ = textField(QStringLiteral("base"), QStringLiteral("Name"), block);
    baseName_->setObjectName(QStringLiteral("baseName"));
    baseName_->setText(model_.baseName());
    connect(baseName_, &QLineEdit::textEdited, this, [this](const QString& text) { model_.setBaseName(text); });
    addLabelledRow(rows, QStringLiteral("Name"), block)->addWidget(baseName_, 1);

    resolution_ = new QComboBox(block);
    resolution_->setObjectName(QStringLiteral("resolution"));
    resolution_->setAccessibleName(QStringLiteral("Res"));
    connect(resolution_, &QComboBox::activated, this, [this](int i) {
        if (i >= 0) model_.setDpi(resolution_->itemData(i).toInt());
    });
    addLabelledRow(rows, QStringLiteral("Res"), block)->addWidget(resolution_, 1);

    colorMode_ = new QComboBox(block);
    colorMode_->setObjectName(QStringLiteral("colorMode"));
    colorMode_->setAccessibleName(QStringLiteral("Color"));
    for (ColorMode mode : allColorModes) colorMode_->addItem(label(mode), int(mode));
    connect(colorMode_, &QComboBox::activated, this, [this](int i) {
        if (i >= 0) model_.setColorMode(allColorModes[std::size_t(i)]);
    });
    addLabelledRow(rows, QStringLiteral("Color"), block)->addWidget(colorMode_, 1);

    suffix_ = textField(QStringLiteral("_b"), QStringLiteral("Suffix"), block);
    suffix_->setObjectName(QStringLiteral("suffix"));
    suffix_->setFixedWidth(64);
    suffix_->setText(model_.backSuffix());
    connect(suffix_, &QLineEdit::textEdited, this, [this](const QString& text) { model_.setBackSuffix(text); });
    QHBoxLayout* suffixRow = addLabelledRow(rows, QStringLiteral("Suffix"), block);
    suffixRow->addWidget(suffix_);
    suffixRow->addWidget(SidebarStyle::secondaryLabel(QStringLiteral("for back sides"), SidebarStyle::font(10, QFont::Normal, false), block));
    suffixRow->addStretch(1);

    folder_ = new ElidedLabel(Qt::ElideLeft, block);
    folder_->setObjectName(QStringLiteral("folder"));
    folder_->setFont(SidebarStyle::font(11));
    folder_->setColor(Theme::secondary());
    folder_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* choose = new QPushButton(QStringLiteral("Choose…"), block);
    choose->setObjectName(QStringLiteral("chooseFolder"));
    choose->setFont(SidebarStyle::font(11, QFont::Normal, false));
    connect(choose, &QPushButton::clicked, this, [this] { model_.chooseOutput(); });
    QHBoxLayout* folderRow = addLabelledRow(rows, QStringLiteral("Folder"), block);
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(choose);

    QVBoxLayout* draw = addSection(column, QStringLiteral("DRAW"), block);
    drawMode_ = new DrawModeControl(model_, block);
    draw->addWidget(drawMode_);
    return block;
}

QWidget* Sidebar::makeScanBlock()
{
    auto* block = new QWidget(this);
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(14, 0, 14, 13);
    column->setSpacing(6);

    scan_ = new QPushButton(block);
    scan_->setObjectName(QStringLiteral("scan"));
    scan_->setIcon(SidebarStyle::symbolIcon(QStringLiteral("document-save-symbolic"), Theme::bg()));
    scan_->setIconSize(QSize(15, 15));
    scan_->setFont(SidebarStyle::font(13, QFont::DemiBold, false));
    scan_->setCursor(Qt::PointingHandCursor);
    const QColor a = Theme::accent();
    scan_->setStyleSheet(QStringLiteral(
        "QPushButton { background: %1; color: %2; border: none; border-radius: 6px; padding: 9px 10px; }"
        "QPushButton:hover { background: %3; }"
        "QPushButton:pressed { background: %4; }"
        "QPushButton:disabled { background: %5; color: %6; }")
        .arg(a.name(), Theme::bg().name(), a.lighter(108).name(), a.darker(115).name(),
             Theme::withAlpha(a, 0.28).name(QColor::HexArgb), Theme::withAlpha(Theme::bg(), 0.6).name(QColor::HexArgb)));
    connect(scan_, &QPushButton::clicked, this, [this] { model_.scanSelected(); });
    column->addWidget(scan_);

    caption_ = new ElidedLabel(Qt::ElideMiddle, block);
    caption_->setObjectName(QStringLiteral("scanCaption"));
    caption_->setFont(SidebarStyle::font(9.5));
    caption_->setColor(Theme::secondary());
    caption_->setAlignment(Qt::AlignHCenter);
    caption_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    column->addWidget(caption_);
    return block;
}

void Sidebar::setPlan(const AppModel::StemMap& plan)
{
    if (plan == plan_) return;
    plan_ = plan;
    regions_->refreshRegions();
}

void Sidebar::onModelChanged(AppModel::Property property)
{
    switch (property) {
    case Property::baseName:
        showInField(baseName_, model_.baseName());
        refreshCaption();
        break;
    case Property::backSuffix: showInField(suffix_, model_.backSuffix()); break;
    case Property::info: refreshResolutions(); break;
    case Property::dpi:
        refreshResolutions();
        refreshCaption();
        break;
    case Property::colorMode:
        refreshColorMode();
        refreshCaption();
        break;
    case Property::outputDir:
        refreshFolder();
        regions_->refreshSavedFiles();
        break;
    case Property::lastSaved:
    case Property::history: regions_->refreshSavedFiles(); break;
    case Property::regions:
        refreshScanButton();
        regions_->refreshRegions();
        break;
    case Property::selectedID: regions_->refreshRegions(); break;
    case Property::busy:
    case Property::scannerBusy:
    case Property::overview: refreshScanButton(); break;
    default: break;
    }
}

void Sidebar::refreshResolutions()
{
    const std::vector<int> options = model_.resolutionOptions();
    bool same = resolution_->count() == int(options.size());
    for (int i = 0; same && i < resolution_->count(); ++i) same = resolution_->itemData(i).toInt() == options[std::size_t(i)];
    if (!same) {
        resolution_->clear();
        for (int dpi : options) resolution_->addItem(SidebarRules::resolutionLabel(dpi), dpi);
    }
    resolution_->setCurrentIndex(resolution_->findData(model_.dpi()));
}

void Sidebar::refreshColorMode() { colorMode_->setCurrentIndex(colorMode_->findData(int(model_.colorMode()))); }

void Sidebar::refreshScanButton()
{
    const int count = int(model_.regions().size());
    scan_->setText(SidebarRules::scanButtonTitle(count));
    scan_->setEnabled(SidebarRules::scanEnabled(model_.busy(), model_.scannerBusy(), count, !model_.overview().isNull()));
}

void Sidebar::refreshCaption()
{
    caption_->setText(SidebarRules::scanCaption(model_.dpi(), model_.colorMode(), model_.baseName()));
}

void Sidebar::refreshFolder()
{
    folder_->setText(QDir(model_.outputDir()).dirName());
    folder_->setToolTip(model_.outputDir());
}
