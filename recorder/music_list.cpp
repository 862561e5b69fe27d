#include "recorder/music_list.h"

TDList::~TDList()
{
    Clear();
}

int TDList::Add(void *item)
{
    return Insert(nullptr, item);
}

int TDList::Insert(void *before, void *item)
{
    if (!item)
        return 0;
    Node *at = nullptr;
    int index = FCount;
    if (before) {
        at = FindNode(before);
        if (!at)
            return 0;
        index = indexOfNode(at);
    }
    Node *node = new Node;
    node->item = item;
    if (at) {
        node->next = at;
        node->prior = at->prior;
        if (at->prior)
            at->prior->next = node;
        else
            FFirst = node;
        at->prior = node;
    } else {
        node->prior = FLast;
        if (FLast)
            FLast->next = node;
        else
            FFirst = node;
        FLast = node;
    }
    FCurrent = node;
    ++FCount;
    return index;
}

void *TDList::First()
{
    FCurrent = FFirst;
    return Current();
}

void *TDList::Next()
{
    FCurrent = FCurrent ? FCurrent->next : FFirst;
    return Current();
}

void *TDList::Prior()
{
    FCurrent = FCurrent ? FCurrent->prior : FLast;
    return Current();
}

void *TDList::Current() const
{
    return FCurrent ? FCurrent->item : nullptr;
}

int TDList::CurrentIndex() const
{
    return FCurrent ? indexOfNode(FCurrent) : -1;
}

void *TDList::Items(int index) const
{
    if (index < 0 || index >= FCount)
        return nullptr;
    Node *node = FFirst;
    for (int i = 0; i < index; ++i)
        node = node->next;
    return node->item;
}

int TDList::IndexOf(const void *item) const
{
    int index = 0;
    for (Node *node = FFirst; node; node = node->next, ++index) {
        if (node->item == item)
            return index;
    }
    return -1;
}

TDList::Node *TDList::FindNode(const void *item) const
{
    for (Node *node = FFirst; node; node = node->next) {
        if (node->item == item)
            return node;
    }
    return nullptr;
}

int TDList::indexOfNode(const Node *node) const
{
    int index = 0;
    for (Node *n = FFirst; n; n = n->next, ++index) {
        if (n == node)
            return index;
    }
    return -1;
}

void TDList::Clear()
{
    Node *node = FFirst;
    while (node) {
        Node *next = node->next;
        delete node;
        node = next;
    }
    FFirst = FLast = FCurrent = nullptr;
    FCount = 0;
}
