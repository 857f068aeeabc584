#pragma once

#include <QSet>

class QObject;

// Ends the walks that follow child models, which may form cycles: a guard marks the models that one
// walk has reached in this thread, so that a model reached again is passed over. Each kind of walk
// keeps its state in a thread-local Walk of its own, so that walks of different kinds do not see
// each other's marks.
class CycleGuard {
public:
    struct Walk {
        QSet<const QObject*>* reached = nullptr;
        bool continuing = false;
    };
    enum Scope {
        // Joins the walk that a guard further up the stack opened (a nested call of one walk), or
        // opens one.
        JoinOpen,
        // Opens a walk of its own, hiding an open one until the guard ends, unless the walk is being
        // continued into a child model (continueInto()).
        PerCall
    };

    explicit CycleGuard(Walk& walk, Scope scope = JoinOpen);
    ~CycleGuard();
    CycleGuard(const CycleGuard&) = delete;
    CycleGuard& operator=(const CycleGuard&) = delete;

    /// Marks `object` reached for the rest of the walk; false when the walk had reached it before.
    bool enter(const QObject* object);
    /// Marks `object` reached until this guard ends, when it was not marked yet.
    void hold(const QObject* object);
    /// True when the walk open in this thread has reached `object`.
    static bool reached(const Walk& walk, const QObject* object) {
        return walk.reached && walk.reached->contains(object);
    }
    /// Runs `call` as a continuation of the open walk: a PerCall guard made inside it joins the walk.
    template <typename Call> static void continueInto(Walk& walk, Call call) {
        walk.continuing = true;
        call();
        walk.continuing = false;
    }

private:
    Walk& m_walk;
    QSet<const QObject*>* m_outer;
    bool m_continued;
    bool m_opened;
    const QObject* m_held = nullptr;
    QSet<const QObject*> m_own;
};
