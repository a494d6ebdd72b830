// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/InspectorPane.h"

#include "model/AppModel.h"
#include "ui/ExportFooter.h"
#include "ui/Icons.h"
#include "ui/Style.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>

namespace lumafold {

namespace {

QHBoxLayout* row(QVBoxLayout* parent)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    parent->addLayout(row);
    return row;
}

} // namespace

InspectorPane::InspectorPane(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("inspector"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("inspectorSettings"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidget(makeSettings());
    column->addWidget(m_scroll, 1);
    column->addWidget(Style::divider(Qt::Horizontal, this));
    m_footer = new ExportFooter(model, this);
    column->addWidget(m_footer);

    bindExportSettings();
    for (const auto signal : {&AppModel::selectionChanged, &AppModel::isExportingChanged}) {
        connect(&model, signal, this, &InspectorPane::showSelectionState);
    }
    showSelectionState();
    showExportSettings();
}

QWidget* InspectorPane::makeSettings()
{
    auto* content = new QWidget(m_scroll);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(22, 22, 22, 22);
    column->setSpacing(24);
    column->addWidget(Style::paneTitle(tr("Organise"), QStringLiteral("square.grid.3x3"), content));
    addSelectionTools(section(tr("Selected pages"), column));
    addExportSettings(section(tr("Export"), column));
    auto* reset = new QPushButton(tr("Reset to Defaults"), content);
    reset->setObjectName(QStringLiteral("resetButton"));
    Style::makeLink(reset);
    connect(reset, &QPushButton::clicked, &m_model, &AppModel::resetToDefaults);
    column->addWidget(reset, 0, Qt::AlignLeft);
    column->addStretch();
    return content;
}

QVBoxLayout* InspectorPane::section(const QString& title, QVBoxLayout* parent)
{
    auto* section = new QVBoxLayout;
    section->setSpacing(10);
    auto* label = new QLabel(title);
    QFont font = Style::font(Style::Text::subheadline, label->font());
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    Style::makeSecondary(label);
    section->addWidget(label);
    parent->addLayout(section);
    return section;
}

QPushButton* InspectorPane::button(const QString& text, const QString& symbol, const QString& name)
{
    auto* button = symbol.isEmpty() ? new QPushButton(text) : new QPushButton(Icons::symbol(symbol), text);
    button->setObjectName(name);
    return button;
}

void InspectorPane::addSelectionTools(QVBoxLayout* section)
{
    const struct
    {
        QString text, symbol, name;
        std::function<void(AppModel&)> action;
    } tools[] = {
        {tr("Left"), QStringLiteral("rotate.left"), QStringLiteral("rotateLeftButton"),
         [](AppModel& model) {
             model.rotateSelected(false);
         }},
        {tr("Right"), QStringLiteral("rotate.right"), QStringLiteral("rotateRightButton"),
         [](AppModel& model) {
             model.rotateSelected(true);
         }},
        {tr("Duplicate"), QStringLiteral("doc.on.doc"), QStringLiteral("duplicateButton"),
         [](AppModel& model) {
             model.duplicateSelected();
         }},
        {tr("Remove"), QStringLiteral("trash"), QStringLiteral("removeButton"),
         [](AppModel& model) {
             model.removeSelected();
         }},
    };
    QHBoxLayout* pair = nullptr;
    for (const auto& tool : tools) {
        if (m_selectionButtons.size() % 2 == 0) {
            pair = row(section);
        }
        QPushButton* push = button(tool.text, tool.symbol, tool.name);
        connect(push, &QPushButton::clicked, this, [this, action = tool.action] { action(m_model); });
        pair->addWidget(push);
        m_selectionButtons << push;
    }

    QHBoxLayout* range = row(section);
    m_pageRange = new QLineEdit;
    m_pageRange->setObjectName(QStringLiteral("pageRangeField"));
    m_pageRange->setPlaceholderText(tr("1-3, 5"));
    m_pageRange->setAccessibleName(tr("Page positions"));
    m_pageRange->setClearButtonEnabled(true);
    m_pageRange->setAcceptDrops(false);
    m_selectRange = button(tr("Select"), {}, QStringLiteral("selectRangeButton"));
    const auto selectRange = [this] {
        m_model.selectRange(m_pageRange->text());
    };
    connect(m_pageRange, &QLineEdit::returnPressed, this, selectRange);
    connect(m_selectRange, &QPushButton::clicked, this, selectRange);
    connect(m_pageRange, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_selectRange->setEnabled(!text.isEmpty()); });
    m_selectRange->setEnabled(false);
    range->addWidget(m_pageRange, 1);
    range->addWidget(m_selectRange);

    auto* hint = new QLabel(tr("Type page positions such as 1-3, 5 to select them together."));
    hint->setWordWrap(true);
    Style::setTextStyle(hint, Style::Text::caption);
    Style::makeSecondary(hint);
    section->addWidget(hint);
}

void InspectorPane::addExportSettings(QVBoxLayout* section)
{
    QHBoxLayout* create = row(section);
    auto* createLabel = new QLabel(tr("Create"));
    m_mode = new QComboBox;
    m_mode->setObjectName(QStringLiteral("exportModePicker"));
    createLabel->setBuddy(m_mode);
    for (const PagesExportMode mode : allPagesExportModes()) {
        m_mode->addItem(QCoreApplication::translate("lumafold::PagesExportMode", rawValue(mode).toUtf8()));
    }
    create->addWidget(createLabel);
    create->addWidget(m_mode, 1);

    m_chunkRow = new QWidget;
    auto* chunk = new QHBoxLayout(m_chunkRow);
    chunk->setContentsMargins(0, 0, 0, 0);
    m_chunkLabel = new QLabel;
    m_chunkLabel->setObjectName(QStringLiteral("splitChunkLabel"));
    m_chunkSize = new QSpinBox;
    m_chunkSize->setObjectName(QStringLiteral("splitChunkStepper"));
    m_chunkLabel->setBuddy(m_chunkSize);
    chunk->addWidget(m_chunkLabel, 1);
    chunk->addWidget(m_chunkSize);
    section->addWidget(m_chunkRow);

    m_outputName = new QLineEdit;
    m_outputName->setObjectName(QStringLiteral("outputNameField"));
    m_outputName->setPlaceholderText(tr("Output name"));
    m_outputName->setAccessibleName(tr("Output name"));
    m_outputName->setAcceptDrops(false);
    section->addWidget(m_outputName);

    m_removeMetadata = new QCheckBox(tr("Remove document metadata"));
    m_removeMetadata->setObjectName(QStringLiteral("removeMetadataToggle"));
    section->addWidget(m_removeMetadata);

    m_folder = button({}, QStringLiteral("folder"), QStringLiteral("outputFolderButton"));
    m_folder->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    section->addWidget(m_folder);
}

void InspectorPane::bindExportSettings()
{
    connect(m_mode, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_model.setExportMode(allPagesExportModes().at(index)); });
    connect(m_chunkSize, &QSpinBox::valueChanged, this, [this](int size) { m_model.setSplitChunkSize(size); });
    connect(m_outputName, &QLineEdit::textEdited, &m_model, &AppModel::setOutputName);
    connect(m_removeMetadata, &QCheckBox::toggled, &m_model, &AppModel::setRemoveMetadata);
    connect(m_folder, &QPushButton::clicked, this, [this] { m_model.chooseOutputFolder(); });
    // The preview depends on the setting, whoever changes it.
    connect(&m_model, &AppModel::removeMetadataChanged, this, [this] {
        if (window()->isVisible()) {
            m_model.refreshPreview();
        }
    });
    for (const auto signal :
         {&AppModel::exportModeChanged, &AppModel::splitChunkSizeChanged, &AppModel::outputNameChanged,
          &AppModel::removeMetadataChanged, &AppModel::outputFolderChanged, &AppModel::pagesChanged}) {
        connect(&m_model, signal, this, &InspectorPane::showExportSettings);
    }
}

void InspectorPane::showSelectionState()
{
    m_scroll->setEnabled(!m_model.isExporting());
    for (QPushButton* push : std::as_const(m_selectionButtons)) {
        push->setEnabled(!m_model.selection().isEmpty());
    }
}

void InspectorPane::showExportSettings()
{
    const QSignalBlocker blockMode(m_mode), blockChunk(m_chunkSize), blockMetadata(m_removeMetadata);
    m_mode->setCurrentIndex(static_cast<int>(allPagesExportModes().indexOf(m_model.exportMode())));
    const qint64 chunk = m_model.splitChunkSize();
    m_chunkRow->setVisible(m_model.exportMode() == PagesExportMode::split);
    m_chunkSize->setRange(1, static_cast<int>(std::max<qsizetype>(1, m_model.pages().size())));
    m_chunkSize->setValue(static_cast<int>(chunk));
    m_chunkLabel->setText(chunk == 1 ? tr("1 page per PDF") : tr("%1 pages per PDF").arg(chunk));
    if (m_outputName->text() != m_model.outputName()) {
        m_outputName->setText(m_model.outputName());
    }
    m_removeMetadata->setChecked(m_model.removeMetadata());
    const auto& folder = m_model.outputFolder();
    QString folderName = tr("Choose destination…");
    if (folder) {
        const QString path = QDir::cleanPath(folder->toLocalFile());
        folderName = path == QStringLiteral("/") ? path : QFileInfo(path).fileName();
    }
    m_folder->setText(folderName);
}

} // namespace lumafold
