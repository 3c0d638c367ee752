#ifndef DOSEGATE_BUDGETDIALOG_H
#define DOSEGATE_BUDGETDIALOG_H

#include "UncertaintyBudget.h"

#include <QDialog>
#include <QList>

class QLabel;
class QTableWidget;

// The laboratory's uncertainty budget, edited as a table: one row per
// component. The reference field and repeatability are always there (their
// values come with each run); the lab adds and removes the others. Kept in
// the console's settings when accepted.
class BudgetDialog : public QDialog
{
    Q_OBJECT

public:
    enum Column { ColumnName, ColumnValue, ColumnUnit, ColumnDistribution, ColumnK, ColumnDegreesOfFreedom, ColumnCount };

    // Reads the budget from the settings file.
    explicit BudgetDialog(const QString& settingsPath, QWidget* parent = nullptr);

    const QList<UncertaintyBudget::Component>& Components() const { return m_components; }

public slots:
    void open() override;
    void accept() override;

private slots:
    void AddComponent();
    void RemoveComponent();

private:
    void Build();
    void ShowComponents();
    void AddRow(const UncertaintyBudget::Component& component);
    // The table as components; false, with the bad cells marked, when a
    // figure is not one.
    bool ReadComponents(QList<UncertaintyBudget::Component>* components);

    QString m_sSettingsPath;
    QList<UncertaintyBudget::Component> m_components;
    QTableWidget* m_pTable;
    QLabel* m_pProblem;
};

#endif
