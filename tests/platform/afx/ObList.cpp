// CObList as the system walks it: added at the tail, walked from the head in order, and the
// refusal of operations that need an element on an empty list.
#include <afx.h>

#include "platform/afx/AfxTest.h"

#include <gtest/gtest.h>

#include <string>

using afxtest::Throws;

namespace {

class CItem : public CObject {
public:
    explicit CItem(char name) : m_name(name) {}
    char m_name;
};

// The names of the list's elements from head to tail, checked against the walk back.
std::string Names(const CObList& list) {
    std::string forward, backward;
    for (POSITION pos = list.GetHeadPosition(); pos != NULL;)
        forward += static_cast<CItem*>(list.GetNext(pos))->m_name;
    for (POSITION pos = list.GetTailPosition(); pos != NULL;)
        backward.insert(backward.begin(), static_cast<CItem*>(list.GetPrev(pos))->m_name);
    EXPECT_EQ(forward, backward);
    EXPECT_EQ(static_cast<INT_PTR>(forward.size()), list.GetCount());
    return forward;
}

} // namespace

TEST(CObListTest, KeepsTheOrderOfAdditionAndRemoval) {
    CItem a('a'), b('b'), c('c');
    CObList list;
    EXPECT_EQ("", Names(list));
    list.AddTail(&b);
    list.AddHead(&a);
    list.AddTail(&c);
    EXPECT_EQ("abc", Names(list));
    EXPECT_EQ(&c, list.RemoveTail());
    EXPECT_EQ(&a, list.RemoveHead());
    EXPECT_EQ("b", Names(list));
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());

    EXPECT_TRUE(Throws<CInvalidArgException>([&] { list.RemoveHead(); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { list.GetTail(); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] {
        POSITION pos = NULL;
        list.GetNext(pos);
    }));
}
