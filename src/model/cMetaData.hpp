#pragma once
#include <memory>
#include <string>

#include "model/ElementCollections.hpp"

namespace tablor {

// One database's structure. Each collection is created on first reading, so a fresh schema
// reads as empty collections; assigning one replaces it. Indexes, triggers, sequences and types
// are read only with definitions.
class cMetaData {
  public:
    // The engine the structure was read from ("postgresql", "mysql", "sqlserver"); empty where
    // unknown (snapshots written before it was recorded).
    std::string Engine;

    class Routines& Routines() {
        return *Ensure(routines_);
    }
    class Views& Views() {
        return *Ensure(views_);
    }
    class Constraints& Constraints() {
        return *Ensure(constraints_);
    }
    class Tables& Tables() {
        return *Ensure(tables_);
    }

    class Indexes& Indexes() {
        return *Ensure(indexes_);
    }
    class Triggers& Triggers() {
        return *Ensure(triggers_);
    }
    class Sequences& Sequences() {
        return *Ensure(sequences_);
    }
    class Types& Types() {
        return *Ensure(types_);
    }

    void SetRoutines(std::shared_ptr<class Routines> value) { routines_ = std::move(value); }
    void SetViews(std::shared_ptr<class Views> value) { views_ = std::move(value); }
    void SetConstraints(std::shared_ptr<class Constraints> value) { constraints_ = std::move(value); }
    void SetTables(std::shared_ptr<class Tables> value) { tables_ = std::move(value); }

    // Read-only access that never creates: an absent collection reads as empty.
    const class Routines& Routines() const { return Get(routines_); }
    const class Views& Views() const { return Get(views_); }
    const class Constraints& Constraints() const { return Get(constraints_); }
    const class Tables& Tables() const { return Get(tables_); }
    const class Indexes& Indexes() const { return Get(indexes_); }
    const class Triggers& Triggers() const { return Get(triggers_); }
    const class Sequences& Sequences() const { return Get(sequences_); }
    const class Types& Types() const { return Get(types_); }

  private:
    template <class C>
    static const std::shared_ptr<C>& Ensure(std::shared_ptr<C>& slot) {
        if (!slot) slot = std::make_shared<C>();
        return slot;
    }
    template <class C>
    static const C& Get(const std::shared_ptr<C>& slot) {
        static const C empty;
        return slot ? *slot : empty;
    }

    // Declared in reverse, so that destruction releases routines, views, constraints, tables,
    // then the kinds read with definitions.
    std::shared_ptr<class Types> types_;
    std::shared_ptr<class Sequences> sequences_;
    std::shared_ptr<class Triggers> triggers_;
    std::shared_ptr<class Indexes> indexes_;
    std::shared_ptr<class Tables> tables_;
    std::shared_ptr<class Constraints> constraints_;
    std::shared_ptr<class Views> views_;
    std::shared_ptr<class Routines> routines_;
};

}  // namespace tablor
