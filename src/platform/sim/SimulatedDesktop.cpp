#include "platform/sim/SimulatedDesktop.h"

#include "async/Sleep.h"

#include <limits>

namespace tidyword::platform::sim {

class SimulatedDesktop::Reference final : public AccessibleElement::Reference {
public:
    explicit Reference(ElementId id) : id(id) {}
    bool denotesSameObject(const AccessibleElement::Reference& other) const override {
        const auto* simulated = dynamic_cast<const Reference*>(&other);
        return simulated && simulated->id == id;
    }
    const ElementId id;
};

SimulatedDesktop::SimulatedDesktop(VirtualClock& clock, qint32 ownProcessIdentifier)
    : clock_(clock), ownProcessIdentifier_(ownProcessIdentifier) {}

SimulatedDesktop::~SimulatedDesktop() = default;

ElementId SimulatedDesktop::addApplication(const ApplicationIdentity& identity) {
    const ElementId element = nextElement_++;
    elements_[element].processIdentifier = identity.processIdentifier;
    Application application;
    application.identity = identity;
    application.element = element;
    applications_[identity.processIdentifier] = application;
    return element;
}

ElementId SimulatedDesktop::addElement(qint32 processIdentifier,
                                       const std::map<Attribute, AttributeValue>& attributes) {
    const ElementId element = nextElement_++;
    elements_[element] = Element{processIdentifier, attributes, {}, {}, {}};
    return element;
}

void SimulatedDesktop::setAttribute(ElementId element, Attribute attribute,
                                    std::optional<AttributeValue> value) {
    if (value) {
        elements_.at(element).attributes[attribute] = *value;
    } else {
        elements_.at(element).attributes.erase(attribute);
    }
}

void SimulatedDesktop::makeUnreadable(ElementId element, Attribute attribute) {
    elements_.at(element).unreadable.insert(attribute);
}

void SimulatedDesktop::setSettable(ElementId element, Attribute attribute,
                                   std::optional<bool> settable) {
    elements_.at(element).settable[attribute] = settable;
}

void SimulatedDesktop::setBounds(ElementId element, std::optional<ScreenRect> bounds) {
    elements_.at(element).bounds = bounds;
}

void SimulatedDesktop::setText(ElementId element, const QString& value, TextRange selection) {
    auto& attributes = elements_.at(element).attributes;
    attributes[Attribute::value] = value;
    attributes[Attribute::selectedRange] = selection;
    attributes[Attribute::selectedText] = value.mid(selection.location, selection.length);
}

void SimulatedDesktop::type(ElementId element, const QString& text) {
    auto& attributes = elements_.at(element).attributes;
    const QString value = std::get<QString>(attributes.at(Attribute::value));
    const TextRange selection = std::get<TextRange>(attributes.at(Attribute::selectedRange));
    const QString typed =
        value.left(selection.location) + text + value.mid(selection.location + selection.length);
    setText(element, typed, {selection.location + text.size(), 0});
}

void SimulatedDesktop::focus(qint32 processIdentifier, ElementId element,
                             std::optional<ElementId> window) {
    const ElementId application = applications_.at(processIdentifier).element;
    setAttribute(application, Attribute::focusedElement, element);
    setAttribute(application, Attribute::focusedWindow,
                 window ? std::optional<AttributeValue>(*window) : std::nullopt);
}

void SimulatedDesktop::setFrontmost(std::optional<qint32> processIdentifier) {
    frontmost_ = processIdentifier;
}

void SimulatedDesktop::refuseActivation(qint32 processIdentifier, bool refuse) {
    applications_.at(processIdentifier).refuseActivation = refuse;
}

void SimulatedDesktop::setActivationLag(qint32 processIdentifier, std::chrono::milliseconds lag) {
    applications_.at(processIdentifier).activationLag = lag;
}

void SimulatedDesktop::quit(qint32 processIdentifier) {
    applications_.at(processIdentifier).terminated = true;
    if (frontmost_ == processIdentifier) {
        frontmost_.reset();
    }
}

void SimulatedDesktop::relaunch(qint32 processIdentifier, const QDateTime& launchDate) {
    auto& application = applications_.at(processIdentifier);
    application.terminated = false;
    application.identity.launchDate = launchDate;
}

void SimulatedDesktop::setCopyEffect(qint32 processIdentifier, CopyEffect effect) {
    applications_.at(processIdentifier).copy = effect;
}

void SimulatedDesktop::setPasteEffect(qint32 processIdentifier, PasteEffect effect) {
    applications_.at(processIdentifier).paste = std::move(effect);
}

void SimulatedDesktop::setEditEffect(qint32 processIdentifier, EditEffect effect) {
    applications_.at(processIdentifier).edit = std::move(effect);
}

void SimulatedDesktop::writeClipboard(const QList<ScriptedItem>& items) {
    items_ = items;
    ++changeCount_;
}

void SimulatedDesktop::at(std::chrono::milliseconds delay, std::function<void()> event) {
    scheduled_.push_back(clock_.setAlarm(delay, std::move(event)));
}

void SimulatedDesktop::onNext(Moment moment, std::function<void()> event) {
    moments_.emplace(moment, std::move(event));
}

void SimulatedDesktop::happen(Moment moment) {
    auto [first, last] = moments_.equal_range(moment);
    std::vector<std::function<void()>> events;
    for (auto event = first; event != last; ++event) {
        events.push_back(std::move(event->second));
    }
    moments_.erase(moment);
    for (const auto& event : events) {
        event();
    }
}

std::optional<QString> SimulatedDesktop::text(ElementId element) const {
    const auto& attributes = elements_.at(element).attributes;
    const auto value = attributes.find(Attribute::value);
    if (value == attributes.end() || !std::holds_alternative<QString>(value->second)) {
        return std::nullopt;
    }
    return std::get<QString>(value->second);
}

// --- Accessibility

AccessibleElement SimulatedDesktop::handle(ElementId id) const {
    return AccessibleElement(std::make_shared<const Reference>(id));
}

SimulatedDesktop::Element* SimulatedDesktop::live(const AccessibleElement& element) {
    const auto* reference = dynamic_cast<const Reference*>(element.reference());
    if (!reference) {
        return nullptr;
    }
    const auto found = elements_.find(reference->id);
    if (found == elements_.end()) {
        return nullptr;
    }
    const auto application = applications_.find(found->second.processIdentifier);
    if (application == applications_.end() || application->second.terminated) {
        return nullptr;
    }
    return &found->second;
}

std::optional<AttributeValue> SimulatedDesktop::read(const AccessibleElement& element,
                                                     Attribute attribute) {
    Element* found = live(element);
    if (!found || found->unreadable.contains(attribute)) {
        return std::nullopt;
    }
    const auto value = found->attributes.find(attribute);
    if (value == found->attributes.end()) {
        return std::nullopt;
    }
    return value->second;
}

AccessibleElement SimulatedDesktop::applicationElement(qint32 processIdentifier) {
    const auto application = applications_.find(processIdentifier);
    return application == applications_.end() ? AccessibleElement()
                                              : handle(application->second.element);
}

void SimulatedDesktop::setMessagingTimeout(const AccessibleElement&, std::chrono::milliseconds) {}

template <typename T>
std::optional<T> SimulatedDesktop::readAs(const AccessibleElement& element, Attribute attribute) {
    const auto value = read(element, attribute);
    if (!value || !std::holds_alternative<T>(*value)) {
        return std::nullopt;
    }
    return std::get<T>(*value);
}

std::optional<AccessibleElement> SimulatedDesktop::elementAttribute(
    const AccessibleElement& element, Attribute attribute) {
    const auto id = readAs<ElementId>(element, attribute);
    return id ? std::optional(handle(*id)) : std::nullopt;
}

std::optional<QString> SimulatedDesktop::stringAttribute(const AccessibleElement& element,
                                                         Attribute attribute) {
    return readAs<QString>(element, attribute);
}

std::optional<bool> SimulatedDesktop::booleanAttribute(const AccessibleElement& element,
                                                       Attribute attribute) {
    return readAs<bool>(element, attribute);
}

std::optional<TextRange> SimulatedDesktop::rangeAttribute(const AccessibleElement& element,
                                                          Attribute attribute) {
    return readAs<TextRange>(element, attribute);
}

std::optional<ScreenRect> SimulatedDesktop::boundsForRange(const AccessibleElement& element,
                                                           TextRange) {
    Element* found = live(element);
    return found ? found->bounds : std::nullopt;
}

std::optional<bool> SimulatedDesktop::isSettable(const AccessibleElement& element,
                                                 Attribute attribute) {
    Element* found = live(element);
    if (!found) {
        return std::nullopt;
    }
    const auto settable = found->settable.find(attribute);
    return settable == found->settable.end() ? std::optional(false) : settable->second;
}

void SimulatedDesktop::setBoolean(const AccessibleElement& element, Attribute attribute,
                                  bool value) {
    if (Element* found = live(element)) {
        found->attributes[attribute] = value;
    }
}

// --- Workspace

RunningApplication SimulatedDesktop::describe(const Application& application) const {
    return {application.identity.processIdentifier, application.terminated,
            application.identity.bundleIdentifier, application.identity.name,
            application.identity.launchDate};
}

std::optional<RunningApplication> SimulatedDesktop::frontmostApplication() {
    if (!frontmost_) {
        return std::nullopt;
    }
    return runningApplication(*frontmost_);
}

std::optional<RunningApplication> SimulatedDesktop::runningApplication(qint32 processIdentifier) {
    if (processIdentifier == ownProcessIdentifier_) {
        return RunningApplication{ownProcessIdentifier_, false,
                                  QStringLiteral("com.tidyword.Tidyword"),
                                  QStringLiteral("Tidyword"), std::nullopt};
    }
    const auto application = applications_.find(processIdentifier);
    if (application == applications_.end()) {
        return std::nullopt;
    }
    return describe(application->second);
}

bool SimulatedDesktop::activate(qint32 processIdentifier) {
    const auto application = applications_.find(processIdentifier);
    if (application == applications_.end() || application->second.terminated ||
        application->second.refuseActivation) {
        return false;
    }
    activations_.append(processIdentifier);
    if (application->second.activationLag.count() > 0) {
        at(application->second.activationLag,
           [this, processIdentifier] { frontmost_ = processIdentifier; });
    } else {
        frontmost_ = processIdentifier;
    }
    return true;
}

// --- Pasteboard

std::optional<QList<QStringList>> SimulatedDesktop::itemTypes() {
    if (refuseListing_ || !clipboardLent()) {
        return std::nullopt;
    }
    QList<QStringList> types;
    for (const auto& item : items_) {
        QStringList names;
        for (const auto& [type, data] : item) {
            names << type;
        }
        types << names;
    }
    happen(Moment::clipboardListed);
    return types;
}

std::optional<Pasteboard::Data> SimulatedDesktop::data(int item, const QString& type,
                                                       qint64 maximumSize) {
    if (item < 0 || item >= items_.size() || !clipboardLent()) {
        return std::nullopt;
    }
    for (const auto& [name, data] : items_[item]) {
        if (name == type) {
            return data && data->bytes.size() <= maximumSize ? data : std::nullopt;
        }
    }
    return std::nullopt;
}

void SimulatedDesktop::clearContents() {
    if (clipboardLent()) {
        writeClipboard({});
    }
}

void SimulatedDesktop::writeItems(const QList<Item>& items) {
    if (!clipboardLent()) {
        return;
    }
    QList<ScriptedItem> written;
    for (const auto& item : items) {
        ScriptedItem scripted;
        for (const auto& [type, data] : item) {
            scripted.append({type, data});
        }
        written << scripted;
    }
    writeClipboard(written);
    happen(Moment::clipboardWritten);
}

bool SimulatedDesktop::setString(const QString& text) {
    if (refuseStrings_ || !clipboardLent()) {
        return false;
    }
    writeClipboard({{{QString::fromUtf16(plainTextType), text.toUtf8()}}});
    happen(Moment::clipboardWritten);
    return true;
}

bool SimulatedDesktop::setTransientString(const QString& text) {
    if (refuseStrings_ || !clipboardLent()) {
        return false;
    }
    writeClipboard({{{QString::fromUtf16(plainTextType), text.toUtf8()},
                     {QString::fromUtf16(transientMarkType), QByteArrayLiteral("secret")}}});
    happen(Moment::clipboardWritten);
    return true;
}

std::optional<QString> SimulatedDesktop::plainText() const {
    for (const auto& item : items_) {
        for (const auto& [name, data] : item) {
            if (name == QString::fromUtf16(plainTextType) && data) {
                return QString::fromUtf8(data->bytes);
            }
        }
    }
    return std::nullopt;
}

std::optional<QString> SimulatedDesktop::string() {
    std::optional<QString> found = clipboardLent() ? plainText() : std::nullopt;
    happen(Moment::stringRead);
    return found;
}

// --- KeyEvents

std::optional<ElementId> SimulatedDesktop::focusedElement(qint32 processIdentifier) const {
    const auto application = applications_.find(processIdentifier);
    if (application == applications_.end() || application->second.terminated) {
        return std::nullopt;
    }
    const auto& attributes = elements_.at(application->second.element).attributes;
    const auto focused = attributes.find(Attribute::focusedElement);
    if (focused == attributes.end() || !std::holds_alternative<ElementId>(focused->second)) {
        return std::nullopt;
    }
    return std::get<ElementId>(focused->second);
}

void SimulatedDesktop::holdKeys(std::optional<std::chrono::milliseconds> release) {
    keysHeld_ = true;
    if (release) {
        at(*release, [this] { keysHeld_ = false; });
    }
}

QCoro::Task<KeyEvents::Posted> SimulatedDesktop::post(Shortcut shortcut, qint32 processIdentifier,
                                                      std::function<bool()> lastCheck) {
    if (keysOutcome_ != Posted::yes) {
        co_return keysOutcome_;
    }
    if (!clipboardLent()) {
        co_return Posted::no;  // its keys go only inside the session
    }
    if (askFor_) {
        try {
            co_await sleep(clock_, *askFor_, askAbandoned_.token());
        } catch (const Cancelled&) {
            co_return Posted::no;
        }
    }
    if (lastCheck && !lastCheck()) {
        co_return Posted::no;
    }
    posted_.append({shortcut, processIdentifier});
    const auto application = applications_.find(processIdentifier);
    if (application == applications_.end()) {
        co_return Posted::yes;  // posted, to nobody
    }
    const auto delay = shortcut == Shortcut::copy ? application->second.copy.after
                                                  : application->second.paste.after;
    if (delay) {
        at(*delay, [this, shortcut, processIdentifier] {
            shortcut == Shortcut::copy ? copyFrom(processIdentifier) : pasteInto(processIdentifier);
        });
    }
    happen(Moment::keyPosted);
    co_return Posted::yes;
}

QCoro::Task<KeyEvents::Posted> SimulatedDesktop::openPasteSession(qint32 /*processIdentifier*/) {
    sessionOpen_ = lentInSession_ && sessionOpening_ == Posted::yes;
    co_return lentInSession_ ? sessionOpening_ : Posted::yes;
}

void SimulatedDesktop::copyFrom(qint32 processIdentifier) {
    const auto element = focusedElement(processIdentifier);
    if (!element) {
        return;
    }
    const auto& attributes = elements_.at(*element).attributes;
    const auto selected = attributes.find(Attribute::selectedText);
    if (selected != attributes.end() && std::holds_alternative<QString>(selected->second)) {
        writeClipboard(
            {{{QString::fromUtf16(plainTextType), std::get<QString>(selected->second).toUtf8()}}});
    }
}

void SimulatedDesktop::pasteInto(qint32 processIdentifier) {
    const auto element = focusedElement(processIdentifier);
    const auto pasted = plainText();
    if (!element || !pasted || !text(*element)) {
        return;
    }
    const auto& transform = applications_.at(processIdentifier).paste.transform;
    type(*element, transform ? transform(*pasted) : *pasted);
}

// --- TextEditing

bool SimulatedDesktop::replaceText(const AccessibleElement& element, TextRange range,
                                   const QString& text) {
    const Element* found = live(element);
    if (!found) {
        return false;
    }
    const ElementId id = static_cast<const Reference*>(element.reference())->id;
    edits_.append({id, range, text});
    const auto value = this->text(id);
    if (!value || range.location < 0 || range.length < 0 ||
        range.location + range.length > value->size()) {
        return false;
    }
    const EditEffect& effect = applications_.at(found->processIdentifier).edit;
    const std::optional<QString> inserted = effect.result ? effect.result(text) : text;
    if (inserted) {
        setText(id,
                value->left(range.location) + *inserted + value->mid(range.location + range.length),
                {range.location + inserted->size(), 0});
    }
    return effect.accepted;
}

}  // namespace tidyword::platform::sim
