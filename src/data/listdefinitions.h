#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One column of a grid: the field it shows, its title and its width in pixels.
struct GridColumn {
    QString field;
    QString title;
    int width = 80;
};

// The lists of the program that the pages show and the command-line tools export: the shared
// query each one lists, the field its search box looks in and its columns as the grid shows them
// by default. The pages and the tools read them here, so a title changed once is changed in the
// window and in every exported file.
struct ListDefinition {
    QString name;        // the name on the command line ("products")
    QString description; // what it lists, in Chinese
    QString query;       // the shared query ("Query_ab")
    QString table;
    QString key;
    QString searchField;
    QList<GridColumn> columns;
    QString filter; // a condition every listed row meets, besides the search ("a2='未结算'")
};

namespace ListDefinitions {

// products, stock-in, stock-out, orders, unsettled, members, recharges, payments.
const QList<ListDefinition>& all();
// The list of that name; nullptr when there is none.
const ListDefinition* find(const QString& name);
// The list with that name, which must exist.
const ListDefinition& get(const QString& name);

} // namespace ListDefinitions
