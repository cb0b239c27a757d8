// What a run knows about the identity columns of the tables it created:
// the sequence and column of each table, and the trigger names handed out.
#pragma once
#include <map>
#include <string>

#include "ORA/ora_name_bytes.h"

class ora_identity_registry {
public:
    struct identity {
        std::wstring sequence;
        std::wstring column;
        std::wstring trigger;
    };

    void set(const std::wstring& table, const identity& id);
    void erase(const std::wstring& table);
    // Null when the table got no sequence in this run.
    const identity* find(const std::wstring& table) const;

    // A trigger name of at most 30 bytes for the table: `base` + "__TRIGGER",
    // or with a number before the suffix when another table of the run holds that name.
    std::wstring claim_trigger_name(const std::wstring& base, const std::wstring& table);

private:
    std::map<std::wstring, identity> identities;   // by table name without quotes
    std::map<std::wstring, std::wstring> triggers; // trigger name -> table name without quotes
};
