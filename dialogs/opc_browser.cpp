// The address-space browser and the item property view; see opc_browser.h.
#include "dialogs/opc_browser.h"

#include <utility>

#include "platform/date_time.h"

namespace tarvedde {
namespace {

std::string PropertyText(const TOpcSimpleClient& client, const TOpcPropertyValue& property) {
    const OpcValue& value = property.value;
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        switch (property.id) {
            case 1:
                return VariantTypeName(static_cast<std::uint16_t>(*number));
            case 3:
                return OpcQualityText(static_cast<std::uint16_t>(*number));
            case 5:
                return AccessRightsText(static_cast<std::uint32_t>(*number));
            default:
                break;
        }
    }
    if (const auto* day = std::get_if<double>(&value); day != nullptr && property.id == 4) {
        return FormatDateTime("dd.mm.yyyy hh:nn:ss", client.LocalTime(*day));
    }
    if (!OpcSucceeded(property.error)) {
        return OpcErrorText(property.error, client.Server());
    }
    return OpcValueText(value);
}

}  // namespace

void TOpcPropertyView::ShowItem(const std::string& itemId) {
    rows.clear();
    if (OpcClient != nullptr && OpcClient->Active() && !itemId.empty()) {
        for (const TOpcPropertyValue& property : OpcClient->ItemProperties(itemId)) {
            rows.push_back({std::to_string(property.id), property.description,
                            VariantTypeName(property.dataType),
                            PropertyText(*OpcClient, property)});
        }
    }
    if (onChanged) {
        onChanged();
    }
}

TOpcBrowser::~TOpcBrowser() {
    if (client_ != nullptr) {
        client_->SetBrowser(nullptr);
    }
}

void TOpcBrowser::SetOpcClient(TOpcSimpleClient* client) {
    if (client_ != nullptr) {
        client_->SetBrowser(nullptr);
    }
    client_ = client;
    if (client_ != nullptr) {
        client_->SetBrowser(this);
    }
    ClientConnectionChanged();
}

void TOpcBrowser::ClientConnectionChanged() {
    lastError_.clear();
    try {
        Refresh();
    } catch (const EOpcClient& error) {
        nodes_.clear();
        lastError_ = error.what();
        Changed();
    }
}

void TOpcBrowser::Refresh() {
    nodes_.clear();
    lastError_.clear();
    flat_ = false;
    OpcServer* server = client_ != nullptr ? client_->Server() : nullptr;
    if (server != nullptr) {
        OpcNamespaceType organization = OpcNamespaceType::Hierarchical;
        client_->Check(server->QueryOrganization(organization));
        flat_ = organization == OpcNamespaceType::Flat;
        if (flat_) {
            std::vector<std::string> ids;
            client_->Check(server->BrowseOpcItemIds(OpcBrowseType::Flat, "", ids));
            for (std::string& id : ids) {
                nodes_.push_back({id, id, {}});
            }
        } else {
            client_->Check(server->ChangeBrowsePosition(OpcBrowseDirection::To, ""));
            nodesLeft_ = nodeLimit_;
            BrowseBranch(*server, nodes_, 0);
            if (nodesLeft_ < 0) {
                lastError_ = "Adressraum nach " + std::to_string(nodeLimit_) +
                             " Einträgen nicht weiter gelesen.";
            }
        }
    }
    Changed();
}

void TOpcBrowser::BrowseBranch(OpcServer& server, std::vector<TOpcNode>& into, int depth) {
    std::vector<std::string> names;
    if (depth < kMaxDepth) {
        client_->Check(server.BrowseOpcItemIds(OpcBrowseType::Branch, "", names));
    }
    for (std::string& branch : names) {
        if (--nodesLeft_ < 0) {
            return;
        }
        TOpcNode node{branch, "", {}};
        client_->Check(server.ChangeBrowsePosition(OpcBrowseDirection::Down, branch));
        BrowseBranch(server, node.children, depth + 1);
        client_->Check(server.ChangeBrowsePosition(OpcBrowseDirection::Up, ""));
        into.push_back(std::move(node));
    }
    client_->Check(server.BrowseOpcItemIds(OpcBrowseType::Leaf, "", names));
    for (std::string& leaf : names) {
        if (--nodesLeft_ < 0) {
            return;
        }
        std::string id;
        client_->Check(server.GetItemId(leaf, id));
        into.push_back({leaf, id, {}});
    }
}

void TOpcBrowser::Select(const TOpcNode& node) {
    if (propertyView_ != nullptr) {
        propertyView_->ShowItem(node.itemId);
    }
}

void TOpcBrowser::Changed() {
    if (onChanged) {
        onChanged();
    }
}

}  // namespace tarvedde
