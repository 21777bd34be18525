#include "platform/sane/SaneOptions.h"

#include <algorithm>
#include <cmath>
#include <set>

SaneOptions::SaneOptions(SANE_Handle handle) : handle_(handle)
{
    reload();
}

void SaneOptions::reload()
{
    descriptors_.clear();
    index_.clear();
    if (!handle_) return;
    SANE_Int count = 0;
    const SANE_Option_Descriptor* first = sane_get_option_descriptor(handle_, 0);
    if (!first || sane_control_option(handle_, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        count = 1;
    descriptors_.assign(size_t(std::max(count, 1)), nullptr);
    descriptors_[0] = first;
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle_, i);
        descriptors_[size_t(i)] = d;
        if (d && d->name && *d->name && !index_.count(d->name)) index_[d->name] = i;
    }
}

const SANE_Option_Descriptor* SaneOptions::find(const char* name) const
{
    const auto it = index_.find(name);
    return it == index_.end() ? nullptr : descriptors_[size_t(it->second)];
}

bool SaneOptions::isActive(const char* name) const
{
    const auto* d = find(name);
    return d && SANE_OPTION_IS_ACTIVE(d->cap);
}

bool SaneOptions::isSettable(const char* name) const
{
    const auto* d = find(name);
    return d && SANE_OPTION_IS_ACTIVE(d->cap) && SANE_OPTION_IS_SETTABLE(d->cap);
}

namespace {

double toDouble(const SANE_Option_Descriptor& d, SANE_Word w)
{
    return d.type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w);
}

bool isNumeric(const SANE_Option_Descriptor& d)
{
    return (d.type == SANE_TYPE_INT || d.type == SANE_TYPE_FIXED) && d.size >= int(sizeof(SANE_Word));
}

}  // namespace

std::vector<double> SaneOptions::numericChoices(const char* name, const std::vector<double>& common) const
{
    const auto* d = find(name);
    if (!d || !isNumeric(*d)) return {};
    std::set<double> values;
    if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
        const SANE_Int n = d->constraint.word_list[0];
        for (SANE_Int i = 1; i <= n; ++i) values.insert(toDouble(*d, d->constraint.word_list[i]));
    } else if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
        const double lo = toDouble(*d, d->constraint.range->min);
        const double hi = toDouble(*d, d->constraint.range->max);
        values.insert(lo);
        values.insert(hi);
        for (double v : common)
            if (v >= lo && v <= hi) values.insert(v);
    }
    return {values.begin(), values.end()};
}

std::optional<double> SaneOptions::maximum(const char* name) const
{
    const auto choices = numericChoices(name, {});
    if (choices.empty()) return std::nullopt;
    return choices.back();
}

QStringList SaneOptions::stringChoices(const char* name) const
{
    const auto* d = find(name);
    QStringList list;
    if (!d || d->type != SANE_TYPE_STRING || d->constraint_type != SANE_CONSTRAINT_STRING_LIST || !d->constraint.string_list)
        return list;
    for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s) list << QString::fromUtf8(*s);
    return list;
}

std::optional<double> SaneOptions::number(const char* name) const
{
    const auto* d = find(name);
    if (!d || !isNumeric(*d) || !SANE_OPTION_IS_ACTIVE(d->cap)) return std::nullopt;
    std::vector<SANE_Word> words(size_t(d->size) / sizeof(SANE_Word) + 1);
    if (sane_control_option(handle_, index_.at(name), SANE_ACTION_GET_VALUE, words.data(), nullptr) != SANE_STATUS_GOOD)
        return std::nullopt;
    return toDouble(*d, words[0]);
}

std::optional<QString> SaneOptions::string(const char* name) const
{
    const auto* d = find(name);
    if (!d || d->type != SANE_TYPE_STRING || d->size < 1 || !SANE_OPTION_IS_ACTIVE(d->cap)) return std::nullopt;
    std::vector<char> text(size_t(d->size) + 1, '\0');
    if (sane_control_option(handle_, index_.at(name), SANE_ACTION_GET_VALUE, text.data(), nullptr) != SANE_STATUS_GOOD)
        return std::nullopt;
    return QString::fromUtf8(text.data());
}

std::optional<bool> SaneOptions::boolean(const char* name) const
{
    const auto* d = find(name);
    if (!d || d->type != SANE_TYPE_BOOL || !SANE_OPTION_IS_ACTIVE(d->cap)) return std::nullopt;
    SANE_Word value = SANE_FALSE;
    if (sane_control_option(handle_, index_.at(name), SANE_ACTION_GET_VALUE, &value, nullptr) != SANE_STATUS_GOOD)
        return std::nullopt;
    return value == SANE_TRUE;
}

std::optional<QString> SaneOptions::control(int index, void* value)
{
    SANE_Int info = 0;
    const SANE_Status status = sane_control_option(handle_, index, SANE_ACTION_SET_VALUE, value, &info);
    if (status != SANE_STATUS_GOOD) return QString::fromUtf8(sane_strstatus(status));
    if (info & SANE_INFO_RELOAD_OPTIONS) reload();
    return std::nullopt;
}

std::optional<QString> SaneOptions::setNumber(const char* name, double value, bool roundUp)
{
    const auto* d = find(name);
    if (!d || !isNumeric(*d)) return QString::fromUtf8(sane_strstatus(SANE_STATUS_UNSUPPORTED));
    if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range)
        value = std::clamp(value, toDouble(*d, d->constraint.range->min), toDouble(*d, d->constraint.range->max));
    if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list && d->constraint.word_list[0] > 0) {
        double best = toDouble(*d, d->constraint.word_list[1]);
        for (SANE_Int i = 1; i <= d->constraint.word_list[0]; ++i) {
            const double v = toDouble(*d, d->constraint.word_list[i]);
            if (std::abs(v - value) < std::abs(best - value)) best = v;
        }
        value = best;
    }
    SANE_Word word = 0;
    if (d->type == SANE_TYPE_FIXED)
        word = roundUp ? SANE_Word(std::ceil(value * (1 << SANE_FIXED_SCALE_SHIFT))) : SANE_FIX(value);
    else
        word = SANE_Word(std::lround(value));
    if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range)
        word = std::clamp(word, d->constraint.range->min, d->constraint.range->max);
    // An array option takes the value in every element.
    std::vector<SANE_Word> words(size_t(d->size) / sizeof(SANE_Word), word);
    return control(index_.at(name), words.data());
}

std::optional<QString> SaneOptions::setString(const char* name, const QString& value)
{
    const auto* d = find(name);
    if (!d || d->type != SANE_TYPE_STRING || d->size < 1) return QString::fromUtf8(sane_strstatus(SANE_STATUS_UNSUPPORTED));
    std::vector<char> text(size_t(d->size), '\0');
    const QByteArray utf8 = value.toUtf8();
    std::copy_n(utf8.constData(), std::min<size_t>(size_t(utf8.size()), text.size() - 1), text.begin());
    return control(index_.at(name), text.data());
}

std::optional<QString> SaneOptions::setBoolean(const char* name, bool value)
{
    const auto* d = find(name);
    if (!d || d->type != SANE_TYPE_BOOL) return QString::fromUtf8(sane_strstatus(SANE_STATUS_UNSUPPORTED));
    SANE_Word word = value ? SANE_TRUE : SANE_FALSE;
    return control(index_.at(name), &word);
}

std::optional<QString> SaneOptions::setFromText(const char* name, const QString& text)
{
    const auto* d = find(name);
    if (!d) return QString::fromUtf8(sane_strstatus(SANE_STATUS_UNSUPPORTED));
    if (d->type == SANE_TYPE_BOOL) return setBoolean(name, text == "true" || text == "yes" || text == "1");
    if (d->type == SANE_TYPE_STRING) return setString(name, text);
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok) return QString::fromUtf8(sane_strstatus(SANE_STATUS_INVAL));
    return setNumber(name, value);
}

std::vector<QString> SaneOptions::sensorNames() const
{
    std::vector<QString> names;
    for (const auto& [name, index] : index_) {
        const auto* d = descriptors_[size_t(index)];
        if (d && d->type == SANE_TYPE_BOOL && (d->cap & SANE_CAP_HARD_SELECT) && (d->cap & SANE_CAP_SOFT_DETECT) &&
            SANE_OPTION_IS_ACTIVE(d->cap))
            names.push_back(QString::fromStdString(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}
