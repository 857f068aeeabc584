#include "core/CycleGuard.h"

CycleGuard::CycleGuard(Walk& walk, Scope scope)
    : m_walk(walk), m_outer(walk.reached), m_continued(walk.continuing),
      m_opened(scope == JoinOpen ? walk.reached == nullptr : !walk.continuing) {
    m_walk.continuing = false;
    if (m_opened) m_walk.reached = &m_own;
}

CycleGuard::~CycleGuard() {
    if (m_held) m_walk.reached->remove(m_held);
    if (m_opened) m_walk.reached = m_outer;
    m_walk.continuing = m_continued;
}

bool CycleGuard::enter(const QObject* object) {
    if (m_walk.reached->contains(object)) return false;
    m_walk.reached->insert(object);
    return true;
}

void CycleGuard::hold(const QObject* object) {
    if (enter(object)) m_held = object;
}
