// The OPC address-space browser (a tree of the connected server's branches and items) and
// the item property view (a four-column list) beside it. Qt-free models: a view draws
// the nodes and rows, and tells the browser which node was selected.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sources/opc_client.h"

namespace tarvedde {

struct TOpcNode {
    std::string text;
    std::string itemId;  // the fully qualified identifier of a leaf; empty for a branch
    std::vector<TOpcNode> children;
};

class TOpcPropertyView {
public:
    struct Row {
        std::string id;
        std::string description;
        std::string type;
        std::string value;
    };

    int ColWidthID = 50;
    int ColWidthDesc = 150;
    int ColWidthDatatype = 80;
    int ColWidthValue = 150;
    const std::vector<std::string> columns = {"ID", "Description", "Type", "Value"};
    std::vector<Row> rows;

    TOpcSimpleClient* OpcClient = nullptr;
    // Empties the list, then shows the item's properties when the client is connected
    // and `itemId` is not empty. Raises EOpcClient when the server refuses the query.
    void ShowItem(const std::string& itemId);

    std::function<void()> onChanged;
};

class TOpcBrowser final : public TOpcClientLink {
public:
    // `nodeLimit`: at most so many branches and leaves are walked (see kMaxNodes).
    explicit TOpcBrowser(int nodeLimit = kMaxNodes) : nodeLimit_(nodeLimit) {}
    ~TOpcBrowser();
    TOpcBrowser(const TOpcBrowser&) = delete;
    TOpcBrowser& operator=(const TOpcBrowser&) = delete;

    // Links both ways, so the client's connect and disconnect refill the tree. The client
    // must outlive the browser, or be unlinked first.
    void SetOpcClient(TOpcSimpleClient* client);
    void SetPropertyView(TOpcPropertyView* view) { propertyView_ = view; }

    const std::vector<TOpcNode>& Nodes() const { return nodes_; }
    // The last refill found a flat address space: every node is a leaf at the root.
    bool Flat() const { return flat_; }
    // Why the last refill after a connect left the tree empty; "" when it did not.
    const std::string& LastError() const { return lastError_; }

    // Empties the tree and fills it from a connected client's address space. Raises
    // EOpcClient when the server refuses a browse step.
    void Refresh();
    // Hands the node's item identifier to the property view.
    void Select(const TOpcNode& node);

    void ClientConnectionChanged() override;

    std::function<void()> onChanged;

    // Deeper branches are not walked, and no more nodes than a large plant's address space
    // holds: a server reporting endless or ever more branches cannot hang the program,
    // whose cycle waits while the tree is filled.
    static constexpr int kMaxDepth = 32;
    static constexpr int kMaxNodes = 100000;

private:
    void BrowseBranch(OpcServer& server, std::vector<TOpcNode>& into, int depth);
    void Changed();

    TOpcSimpleClient* client_ = nullptr;
    TOpcPropertyView* propertyView_ = nullptr;
    std::vector<TOpcNode> nodes_;
    bool flat_ = false;
    std::string lastError_;
    int nodeLimit_;
    int nodesLeft_ = 0;
};

}  // namespace tarvedde
