#include "BudgetDialog.h"

#include "TypedFigure.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QColor kBad(0xff, 0xcd, 0xd2);

QString Number(double value)
{
    return QString::number(value, 'g', 6);
}

} // namespace

BudgetDialog::BudgetDialog(const QString& settingsPath, QWidget* parent)
    : QDialog(parent)
    , m_sSettingsPath(settingsPath)
    , m_pTable(nullptr)
    , m_pProblem(nullptr)
{
    setObjectName(QStringLiteral("budget_dialog"));
    setWindowTitle(tr("Uncertainty budget"));
    QSettings settings(m_sSettingsPath, QSettings::IniFormat);
    m_components = UncertaintyBudget::Load(settings);
}

// Its widgets wait for the first opening: most runs never open it, and the
// window comes up sooner without them.
void BudgetDialog::Build()
{
    if (m_pTable)
        return;
    m_pTable = new QTableWidget(0, ColumnCount, this);
    m_pProblem = new QLabel(this);
    m_pTable->setObjectName(QStringLiteral("budget_table"));
    m_pTable->setHorizontalHeaderLabels({ tr("Component"), tr("Value"), tr("Unit"), tr("Distribution"), tr("k"),
                                          tr("Degrees of freedom") });
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pProblem->setObjectName(QStringLiteral("budget_problem"));
    m_pProblem->setWordWrap(true);
    auto* note = new QLabel(tr("A normal component is stated as its expanded uncertainty with its k; the others by "
                               "their half-width. Empty degrees of freedom are infinite. The reference field's U "
                               "and the run's repeatability come with each run."),
                            this);
    note->setWordWrap(true);
    auto* add = new QPushButton(tr("Add component"), this);
    add->setObjectName(QStringLiteral("budget_add"));
    auto* remove = new QPushButton(tr("Remove component"), this);
    remove->setObjectName(QStringLiteral("budget_remove"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* edits = new QHBoxLayout;
    edits->addWidget(add);
    edits->addWidget(remove);
    edits->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(m_pTable);
    layout->addLayout(edits);
    layout->addWidget(m_pProblem);
    layout->addWidget(buttons);
    connect(add, SIGNAL(clicked()), this, SLOT(AddComponent()));
    connect(remove, SIGNAL(clicked()), this, SLOT(RemoveComponent()));
    connect(buttons, SIGNAL(accepted()), this, SLOT(accept()));
    connect(buttons, SIGNAL(rejected()), this, SLOT(reject()));
}

void BudgetDialog::open()
{
    Build();
    ShowComponents();
    QDialog::open();
}

void BudgetDialog::ShowComponents()
{
    m_pTable->setRowCount(0);
    m_pProblem->clear();
    for (const UncertaintyBudget::Component& component : qAsConst(m_components))
        AddRow(component);
}

void BudgetDialog::AddRow(const UncertaintyBudget::Component& component)
{
    const int row = m_pTable->rowCount();
    m_pTable->insertRow(row);
    const bool entered = component.source == UncertaintyBudget::Entered;
    auto* name = new QTableWidgetItem(component.name);
    name->setData(Qt::UserRole, int(component.source));
    m_pTable->setItem(row, ColumnName, name);
    auto* unit = new QComboBox;
    unit->addItems({ tr("% of true value"), tr("uSv/h") });
    unit->setCurrentIndex(component.unit);
    auto* distribution = new QComboBox;
    for (auto d : { UncertaintyBudget::Normal, UncertaintyBudget::Rectangular, UncertaintyBudget::Triangular,
                    UncertaintyBudget::UShaped })
        distribution->addItem(UncertaintyBudget::DistributionText(d));
    distribution->setCurrentIndex(component.distribution);
    const QString from = component.source == UncertaintyBudget::ReferenceField ? tr("Reference U, with each run")
                                                                                : tr("s/√n of each run");
    auto* value = new QTableWidgetItem(entered ? Number(component.value) : from);
    auto* k = new QTableWidgetItem(entered || component.source == UncertaintyBudget::ReferenceField
                                       ? Number(component.k) : QString());
    auto* dof = new QTableWidgetItem(std::isinf(component.degreesOfFreedom) ? QString()
                                                                            : Number(component.degreesOfFreedom));
    if (!entered) {
        // Its value comes with the run; its name, unit and kind are fixed.
        for (QTableWidgetItem* item : { name, value, k }) // the reference's U is always stated with k = 2
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        unit->setEnabled(false);
        distribution->setEnabled(false);
    }
    if (component.source == UncertaintyBudget::Repeatability)
        dof->setFlags(dof->flags() & ~Qt::ItemIsEditable);
    m_pTable->setItem(row, ColumnValue, value);
    m_pTable->setCellWidget(row, ColumnUnit, unit);
    m_pTable->setCellWidget(row, ColumnDistribution, distribution);
    m_pTable->setItem(row, ColumnK, k);
    m_pTable->setItem(row, ColumnDegreesOfFreedom, dof);
}

void BudgetDialog::AddComponent()
{
    UncertaintyBudget::Component component;
    component.name = tr("new component");
    component.distribution = UncertaintyBudget::Rectangular;
    AddRow(component);
    m_pTable->setCurrentCell(m_pTable->rowCount() - 1, ColumnName);
}

void BudgetDialog::RemoveComponent()
{
    const int row = m_pTable->currentRow();
    if (row < 0 || m_pTable->item(row, ColumnName)->data(Qt::UserRole).toInt() != UncertaintyBudget::Entered)
        return;
    m_pTable->removeRow(row);
}

bool BudgetDialog::ReadComponents(QList<UncertaintyBudget::Component>* components)
{
    bool good = true;
    const auto figure = [&](int row, int column, TypedFigure::Range range, double whenEmpty) {
        QTableWidgetItem* item = m_pTable->item(row, column);
        const TypedFigure read = TypedFigure::Read(item->text(), range, whenEmpty);
        const bool bad = read.bad || std::isnan(read.value);
        item->setBackground(bad ? QBrush(kBad) : QBrush());
        good = good && !bad;
        return read.value;
    };
    for (int row = 0; row < m_pTable->rowCount(); ++row) {
        UncertaintyBudget::Component c;
        c.name = m_pTable->item(row, ColumnName)->text().trimmed();
        c.source = UncertaintyBudget::Source(m_pTable->item(row, ColumnName)->data(Qt::UserRole).toInt());
        c.unit = UncertaintyBudget::Unit(qobject_cast<QComboBox*>(m_pTable->cellWidget(row, ColumnUnit))->currentIndex());
        c.distribution = UncertaintyBudget::Distribution(
            qobject_cast<QComboBox*>(m_pTable->cellWidget(row, ColumnDistribution))->currentIndex());
        if (c.source == UncertaintyBudget::Entered)
            c.value = figure(row, ColumnValue, TypedFigure::NonNegative, std::nan(""));
        if (c.source != UncertaintyBudget::Repeatability) {
            if (c.distribution == UncertaintyBudget::Normal || c.source == UncertaintyBudget::ReferenceField)
                c.k = figure(row, ColumnK, TypedFigure::Positive, std::nan(""));
            c.degreesOfFreedom = figure(row, ColumnDegreesOfFreedom, TypedFigure::Positive, UncertaintyBudget::kInfinite);
        }
        if (c.name.isEmpty())
            good = false;
        *components << c;
    }
    return good;
}

void BudgetDialog::accept()
{
    Build();
    QList<UncertaintyBudget::Component> components;
    if (!ReadComponents(&components)) {
        m_pProblem->setText(tr("Every component needs a name, and the marked cells a number in their range."));
        return;
    }
    m_components = components;
    QSettings settings(m_sSettingsPath, QSettings::IniFormat);
    UncertaintyBudget::Save(settings, m_components);
    QDialog::accept();
}
