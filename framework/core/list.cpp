#include "framework/core/list.h"

#include "framework/core/memory.h"
#include "framework/core/modules.h"

#include <cstdlib>
#include <cstring>

const VkGuid CLSID_VkList = {
    0x37BB45B9, 0x7FA8, 0x11D1, {0x9B, 0x80, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};
const VkGuid IID_IVkList = {
    0x57711791, 0x7EDB, 0x11D1, {0x9B, 0x80, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};

namespace {

// The links come first and the item's bytes follow them in the same block.
struct Node {
    Node* next;
    Node* prev;
    alignas(std::max_align_t) unsigned char data[1];
};
constexpr size_t kHeader = offsetof(Node, data);

Node* NodeOf(void* item) {
    return reinterpret_cast<Node*>(static_cast<unsigned char*>(item) - kHeader);
}

class List final : public VkObject<IVkList, IID_IVkList> {
public:
    List() { head_.next = head_.prev = &head_; }

    VkResult Add(const void* data, uint32_t size) override {
        Node* node = static_cast<Node*>(VkMemAlloc(kHeader + (size ? size : 1)));
        if (!node) return VK_E_OUTOFMEMORY;
        if (size) std::memcpy(node->data, data, size);
        LinkFront(node);
        ++items_;
        return VK_OK;
    }

    void Remove(void* item) override {
        Node* node = NodeOf(item);
        node->prev->next = node->next;
        node->next->prev = node->prev;
        --items_;
        VkMemFree(node);
    }

    void* First() override { return ItemOf(head_.next); }
    void* Next(void* item) override { return ItemOf(NodeOf(item)->next); }
    int32_t Count() override { return items_; }

    void* GetAt(int32_t index) override {
        if (index < 0 || index >= items_) return nullptr;
        Node* node = head_.next;
        while (index-- > 0)
            node = node->next;
        return node->data;
    }

    void* Find(VkListFindFn compare, const void* argument) override {
        for (Node* n = head_.next; n != &head_; n = n->next)
            if (compare(n->data, argument) == 0) return n->data;
        return nullptr;
    }

    void Clear() override {
        for (Node* n = head_.next; n != &head_;) {
            Node* next = n->next;
            VkMemFree(n);
            n = next;
        }
        head_.next = head_.prev = &head_;
        items_ = 0;
    }

    VkResult Sort(VkListSortFn compare) override {
        if (items_ == 0) return VK_OK;
        void** items = static_cast<void**>(VkMemAlloc(sizeof(void*) * static_cast<size_t>(items_)));
        if (!items) return VK_E_OUTOFMEMORY;
        int32_t i = 0;
        for (Node* n = head_.next; n != &head_; n = n->next)
            items[i++] = n->data;
        std::qsort(items, static_cast<size_t>(items_), sizeof(void*), compare);
        head_.next = head_.prev = &head_;
        for (i = items_ - 1; i >= 0; --i)
            LinkFront(NodeOf(items[i]));
        VkMemFree(items);
        return VK_OK;
    }

private:
    void Destroy() override {
        Clear();
        VkMemDestroyObject(this);
    }

    void LinkFront(Node* node) {
        node->next = head_.next;
        node->prev = &head_;
        head_.next->prev = node;
        head_.next = node;
    }
    void* ItemOf(Node* node) { return node == &head_ ? nullptr : node->data; }

    Node head_ = {};
    int32_t items_ = 0;
};

const VkComponentRecord kListRecords[] = {
    {&CLSID_VkList, 0, nullptr, 0, nullptr, VkCreateList, "Standard Doublely Linked List - Vesk",
     "Vesk.DoublelyLinkedList.1", "Vesk.DoublelyLinkedList", nullptr},
};

} // namespace

VkResult VkCreateList(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    List* list = nullptr;
    VkResult res = VkMemCreateObject(&list);
    if (res == VK_E_OUTOFMEMORY) return res;
    if (res < 0) return VK_E_FAIL; // the allocator could not be had
    *out = list;
    return VK_OK;
}

VkResult VkListModuleRegister(IVkRegistry* registry) {
    return VkModule<kListRecords>::Register(registry);
}
