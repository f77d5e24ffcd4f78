// CObList: a doubly linked list of CObject pointers. A POSITION is the address of a node.
#include <afx.h>

IMPLEMENT_DYNAMIC(CObList, CObject)

CObList::CObList(INT_PTR nBlockSize)
    : m_pNodeHead(NULL), m_pNodeTail(NULL), m_nCount(0), m_nBlockSize(nBlockSize) {}

CObList::~CObList() {
    RemoveAll();
}

CObList::CNode* CObList::NodeAt(POSITION position) {
    if (position == NULL || position == BEFORE_START_POSITION)
        AfxThrowInvalidArgException();
    return reinterpret_cast<CNode*>(position);
}

CObList::CNode* CObList::NewNode(CNode* pPrev, CNode* pNext, CObject* data) {
    CNode* pNode = new CNode;
    pNode->pPrev = pPrev;
    pNode->pNext = pNext;
    pNode->data = data;
    (pPrev != NULL ? pPrev->pNext : m_pNodeHead) = pNode;
    (pNext != NULL ? pNext->pPrev : m_pNodeTail) = pNode;
    ++m_nCount;
    return pNode;
}

void CObList::FreeNode(CNode* pNode) {
    (pNode->pPrev != NULL ? pNode->pPrev->pNext : m_pNodeHead) = pNode->pNext;
    (pNode->pNext != NULL ? pNode->pNext->pPrev : m_pNodeTail) = pNode->pPrev;
    delete pNode;
    --m_nCount;
}

// ----------------------------------------------------------------------------------------------
// Head and tail

CObject*& CObList::GetHead() {
    return NodeAt(GetHeadPosition())->data;
}
CObject* CObList::GetHead() const {
    return NodeAt(GetHeadPosition())->data;
}
CObject*& CObList::GetTail() {
    return NodeAt(GetTailPosition())->data;
}
CObject* CObList::GetTail() const {
    return NodeAt(GetTailPosition())->data;
}

CObject* CObList::RemoveHead() {
    CNode* pNode = NodeAt(GetHeadPosition());
    CObject* data = pNode->data;
    FreeNode(pNode);
    return data;
}

CObject* CObList::RemoveTail() {
    CNode* pNode = NodeAt(GetTailPosition());
    CObject* data = pNode->data;
    FreeNode(pNode);
    return data;
}

POSITION CObList::AddHead(CObject* newElement) {
    return reinterpret_cast<POSITION>(NewNode(NULL, m_pNodeHead, newElement));
}

POSITION CObList::AddTail(CObject* newElement) {
    return reinterpret_cast<POSITION>(NewNode(m_pNodeTail, NULL, newElement));
}

void CObList::AddHead(CObList* pNewList) {
    if (pNewList == NULL)
        AfxThrowInvalidArgException();
    // From the other list's tail backwards, so that its order is kept; a list added to itself
    // stops at its original head.
    CNode* pStop = pNewList->m_pNodeHead;
    for (CNode* pNode = pNewList->m_pNodeTail; pNode != NULL; pNode = pNode->pPrev) {
        AddHead(pNode->data);
        if (pNode == pStop)
            break;
    }
}

void CObList::AddTail(CObList* pNewList) {
    if (pNewList == NULL)
        AfxThrowInvalidArgException();
    CNode* pStop = pNewList->m_pNodeTail;
    for (CNode* pNode = pNewList->m_pNodeHead; pNode != NULL; pNode = pNode->pNext) {
        AddTail(pNode->data);
        if (pNode == pStop)
            break;
    }
}

void CObList::RemoveAll() {
    CNode* pNode = m_pNodeHead;
    while (pNode != NULL) {
        CNode* pNext = pNode->pNext;
        delete pNode;
        pNode = pNext;
    }
    m_pNodeHead = m_pNodeTail = NULL;
    m_nCount = 0;
}

// ----------------------------------------------------------------------------------------------
// Iteration and positions

CObject*& CObList::GetNext(POSITION& rPosition) {
    CNode* pNode = NodeAt(rPosition);
    rPosition = reinterpret_cast<POSITION>(pNode->pNext);
    return pNode->data;
}

CObject* CObList::GetNext(POSITION& rPosition) const {
    return const_cast<CObList*>(this)->GetNext(rPosition);
}

CObject*& CObList::GetPrev(POSITION& rPosition) {
    CNode* pNode = NodeAt(rPosition);
    rPosition = reinterpret_cast<POSITION>(pNode->pPrev);
    return pNode->data;
}

CObject* CObList::GetPrev(POSITION& rPosition) const {
    return const_cast<CObList*>(this)->GetPrev(rPosition);
}

CObject*& CObList::GetAt(POSITION position) {
    return NodeAt(position)->data;
}
CObject* CObList::GetAt(POSITION position) const {
    return NodeAt(position)->data;
}
void CObList::SetAt(POSITION pos, CObject* newElement) {
    NodeAt(pos)->data = newElement;
}
void CObList::RemoveAt(POSITION position) {
    FreeNode(NodeAt(position));
}

POSITION CObList::InsertBefore(POSITION position, CObject* newElement) {
    if (position == NULL)
        return AddHead(newElement);
    CNode* pOld = NodeAt(position);
    return reinterpret_cast<POSITION>(NewNode(pOld->pPrev, pOld, newElement));
}

POSITION CObList::InsertAfter(POSITION position, CObject* newElement) {
    if (position == NULL)
        return AddTail(newElement);
    CNode* pOld = NodeAt(position);
    return reinterpret_cast<POSITION>(NewNode(pOld, pOld->pNext, newElement));
}

POSITION CObList::Find(CObject* searchValue, POSITION startAfter) const {
    CNode* pNode = startAfter == NULL ? m_pNodeHead : NodeAt(startAfter)->pNext;
    for (; pNode != NULL; pNode = pNode->pNext) {
        if (pNode->data == searchValue)
            return reinterpret_cast<POSITION>(pNode);
    }
    return NULL;
}

POSITION CObList::FindIndex(INT_PTR nIndex) const {
    if (nIndex < 0 || nIndex >= m_nCount)
        return NULL;
    CNode* pNode = m_pNodeHead;
    while (nIndex-- > 0)
        pNode = pNode->pNext;
    return reinterpret_cast<POSITION>(pNode);
}
