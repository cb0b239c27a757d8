// Step 4 of the wizard: the tables and custom queries to convert, handed to
// the driver on Next, and the type mapping of a selected table.
#pragma once
#include "tarvex/tarvex_convertor.h"
#include "tarvex/wizard/sel_tables_page_ex.h"

class tvx_sel_tables_page : public sel_tables_page_ex<tarvex_convertor, 1022, 1024> {
public:
    static constexpr int progress_page = 107;
    static constexpr int help_topic = 1017;

    tvx_sel_tables_page();

    bool page_init() override;
    int on_next() override;
    // Back keeps the selection and the queries, as Next does.
    int on_back() override;
    void on_help() override;
    void show_type_mapping(const std::wstring& name) override;

private:
    // Hands the lists to the driver, each replacing the driver's.
    void store_selection();
    // Tells the user which tables of the driver's selection the source does not list.
    void report_missing(const std::vector<std::wstring>& wanted);
};
