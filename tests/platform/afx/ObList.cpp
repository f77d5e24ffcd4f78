// CObList: order, iteration both ways, insertion and removal by position, searching, and the
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

class CObListTest : public ::testing::Test {
protected:
    CItem a{'a'}, b{'b'}, c{'c'}, d{'d'}, e{'e'};
    CObList list;
};

} // namespace

TEST_F(CObListTest, AddsAtBothEndsAndRemovesThemInOrder) {
    EXPECT_TRUE(list.IsEmpty());
    list.AddTail(&b);
    list.AddHead(&a);
    list.AddTail(&c);
    EXPECT_EQ("abc", Names(list));
    EXPECT_EQ(&a, list.GetHead());
    EXPECT_EQ(&c, list.GetTail());
    EXPECT_EQ(3, list.GetSize());

    list.GetHead() = &d; // the reference names the stored element
    EXPECT_EQ("dbc", Names(list));

    EXPECT_EQ(&d, list.RemoveHead());
    EXPECT_EQ(&c, list.RemoveTail());
    EXPECT_EQ(&b, list.RemoveTail());
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(nullptr, list.GetHeadPosition());
    EXPECT_EQ(nullptr, list.GetTailPosition());
}

TEST_F(CObListTest, InsertsAndRemovesByPosition) {
    POSITION posB = list.AddTail(&b);
    list.InsertBefore(posB, &a);
    POSITION posD = list.InsertAfter(posB, &d);
    list.InsertBefore(posD, &c);
    list.InsertAfter(NULL, &e); // NULL: at the tail
    EXPECT_EQ("abcde", Names(list));

    list.SetAt(posB, &e);
    EXPECT_EQ(&e, list.GetAt(posB));
    list.RemoveAt(posB);
    EXPECT_EQ("acde", Names(list));
    list.InsertBefore(NULL, &b); // NULL: at the head
    EXPECT_EQ("bacde", Names(list));

    // Removing while walking: the walk has already moved past the removed element.
    for (POSITION pos = list.GetHeadPosition(); pos != NULL;) {
        POSITION current = pos;
        CItem* item = static_cast<CItem*>(list.GetNext(pos));
        if (item->m_name == 'a' || item->m_name == 'e')
            list.RemoveAt(current);
    }
    EXPECT_EQ("bcd", Names(list));
    list.RemoveAll();
    EXPECT_EQ("", Names(list));
}

TEST_F(CObListTest, FindsElementsAndIndexes) {
    list.AddTail(&a);
    POSITION firstB = list.AddTail(&b);
    list.AddTail(&c);
    POSITION secondB = list.AddTail(&b);

    EXPECT_EQ(firstB, list.Find(&b));
    EXPECT_EQ(secondB, list.Find(&b, firstB));
    EXPECT_EQ(nullptr, list.Find(&b, secondB));
    EXPECT_EQ(nullptr, list.Find(&e));

    EXPECT_EQ(list.GetHeadPosition(), list.FindIndex(0));
    EXPECT_EQ(secondB, list.FindIndex(3));
    EXPECT_EQ(nullptr, list.FindIndex(4));
    EXPECT_EQ(nullptr, list.FindIndex(-1));
}

TEST_F(CObListTest, AppendsWholeListsIncludingItself) {
    CObList other;
    other.AddTail(&d);
    other.AddTail(&e);
    list.AddTail(&a);
    list.AddTail(&other);
    list.AddHead(&other);
    EXPECT_EQ("deade", Names(list));
    EXPECT_EQ("de", Names(other));

    CObList self;
    self.AddTail(&a);
    self.AddTail(&b);
    self.AddTail(&self);
    EXPECT_EQ("abab", Names(self));
    self.AddHead(&self);
    EXPECT_EQ("abababab", Names(self));
}

TEST_F(CObListTest, EmptyListAndNullPositionsAreRefused) {
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { list.RemoveHead(); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { list.RemoveTail(); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { list.GetHead(); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { list.GetTail(); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { list.GetAt(NULL); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { list.RemoveAt(NULL); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] {
        POSITION pos = NULL;
        list.GetNext(pos);
    }));
    EXPECT_TRUE(list.IsEmpty());
}
