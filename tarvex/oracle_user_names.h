// The Oracle user that receives the tables of each SQL Server schema of a run:
// named by the rules of every other Oracle name, and one user per schema.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "ORA/ora_validator.h"

class oracle_user_names {
public:
    // The schemas of the run: a name Oracle takes as written keeps it, the
    // others get safe names that none of them has. `uppercase` as the run asks.
    void plan(const std::vector<std::wstring>& schemas, bool uppercase);
    // The user of one schema; a schema not planned is added.
    std::wstring user_of(const std::wstring& schema);
    void clear();

private:
    std::wstring candidate(const std::wstring& schema) const;
    void assign(const std::wstring& schema, const std::wstring& user);

    bool uppercase_ = false;
    std::map<std::wstring, std::wstring> users_; // source schema, exactly as written -> user
    ora_validator taken_;                        // the users given so far, as taken names
};
