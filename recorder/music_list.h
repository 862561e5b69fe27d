#pragma once
// The music list of the manual player: a doubly linked list with a cursor (`TDList`)
// whose items are `TMusicList` records. The list holds plain pointers and never owns
// them; the media player component allocates the items and disposes of them.

#include <QString>

// One music-list item: the file's name (the text after the last "/") and its full path.
struct TMusicList
{
    QString name;
    QString path;
};

// Doubly linked list of untyped item pointers with a cursor. Indexes count from 0 at
// the first node. Nothing here fails on bad input: an unknown item or an index out of
// range gives nullptr, -1 or 0 as each operation says.
class TDList
{
public:
    TDList() = default;
    ~TDList();
    TDList(const TDList &) = delete;
    TDList &operator=(const TDList &) = delete;

    // Appends; the cursor moves to the new node. Returns its index.
    int Add(void *item);
    // Links `item` in front of the node holding `before` (or after the last node when
    // `before` is null) and moves the cursor to it. Returns the new node's index, or 0
    // with nothing changed when `item` is null or `before` is not in the list.
    int Insert(void *before, void *item);
    // Cursor to the first node; its item or nullptr.
    void *First();
    // Cursor forward (from none: to the first node); the new cursor's item or nullptr.
    void *Next();
    // Cursor back (from none: to the last node); the new cursor's item or nullptr.
    void *Prior();
    void *Current() const;
    int CurrentIndex() const;
    void *Items(int index) const;
    // Index of the first node holding this very pointer, or -1.
    int IndexOf(const void *item) const;
    // Frees every node (not the items); all fields become zero.
    void Clear();

    int Count() const { return FCount; }

private:
    struct Node
    {
        Node *prior = nullptr;
        Node *next = nullptr;
        void *item = nullptr;
    };
    Node *FindNode(const void *item) const;
    int indexOfNode(const Node *node) const;

    Node *FFirst = nullptr;
    Node *FLast = nullptr;
    Node *FCurrent = nullptr; // the cursor
    int FCount = 0;
};
