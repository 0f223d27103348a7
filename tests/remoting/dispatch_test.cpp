#include "remoting/dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "binding/builtins.h"
#include "binding/host_value_conversion.h"
#include "binding/static_type.h"
#include "formats/json_writer.h"
#include "formats/nesting_limit.h"
#include "remoting/api_description.h"
#include "remoting/function_registration.h"
#include "remoting/remoting_request.h"
#include "remoting/remoting_response.h"

namespace {

using Velto::ArgumentLocation;
using Velto::BindingProperty;
using Velto::HandlerResponse;
using Velto::HttpMethod;
using Velto::Client::HostArgument;
using Velto::Client::HostRequest;
using Velto::Client::HostResponse;
using Velto::Client::HostValue;

struct Filter {
    std::string name;
    std::vector<std::string> ids;
};

// A stream that delivers one fixed text, and fails a read without a buffer by throwing.
class TextStream : public Velto::RemotingStream {
  public:
    uint8_t read(uint8_t* buffer, uint32_t* size, uint8_t* more) override {
        if (buffer == nullptr) {
            throw std::invalid_argument("no buffer");
        }
        const uint32_t count = std::min<uint32_t>(*size, 5);
        std::memcpy(buffer, "hello", count);
        *size = count;
        *more = 0;
        return 1;
    }
    uint32_t length() override { return 5; }
};

HostValue Bool(bool flag) {
    return {Velto::Client::kHostBool, {.boolean = flag}};
}

HostValue Signed(int64_t number) {
    return {Velto::Client::kHostSigned, {.signedValue = number}};
}

// A call, as the host could make it.
struct Call {
    std::string function;  // the binding to call
    uint32_t method = 2;
    std::string path;
    std::vector<const char*> headers = {};  // names and values in turn
    std::vector<HostArgument> arguments = {};
    const char* contentType = nullptr;
    std::string body = {};
    bool hasBody = false;
};

class DispatchTest : public ::testing::Test {
  protected:
    DispatchTest() {
        Velto::RegisterBuiltins(registry_);
        registry_.RegisterStruct<Filter>("Filter")
            .Field<std::string>("name", offsetof(Filter, name))
            .Field<std::vector<std::string>>("ids", offsetof(Filter, ids));
        // A query reaches a function through a placeholder that takes it in: the whole path text
        // is matched, and the query is read from it besides. "items" names verbose when it is set
        // and limit when it is given.
        Bind("items",
             [](int32_t id, BindingProperty query, bool verbose, std::optional<int32_t> limit) {
                 return Velto::Format("id=%1 query=%2", id, Velto::WriteJson(query)) +
                        (verbose ? " verbose" : "") +
                        (limit ? " limit=" + std::to_string(*limit) : "");
             },
             {"id", "query", "verbose", "limit"})
            .Route("/items/{id}/{+query}/")
            .Method(HttpMethod::Get)
            .Location("id", ArgumentLocation::Path)
            .Location("verbose", ArgumentLocation::Query);
        // "search" says only what was bound: absent optionals, zero objects and a false flag
        // leave no word.
        Bind("search",
             [](std::optional<Filter> filter, std::optional<std::vector<int32_t>> list,
                BindingProperty object, std::optional<std::string> text, bool flag,
                BindingProperty query) {
                 std::string bound;
                 if (filter) {
                     bound += " filter=" + filter->name + "[";
                     for (const std::string& id : filter->ids) {
                         bound += id + ";";
                     }
                     bound += "]";
                 }
                 if (list) {
                     bound += " list=";
                     for (int32_t number : *list) {
                         bound += std::to_string(number) + ";";
                     }
                 }
                 bound += (object.IsZero() ? "" : " object=" + Velto::WriteJson(object)) +
                          (text ? " text=" + *text : "") + (flag ? " flag" : "") +
                          (query.IsZero() ? "" : " query");
                 return bound.erase(0, 1);  // the first space
             },
             {"filter", "list", "object", "text", "flag", "query"})
            .Route("search{+query}");
        Bind("upload",
             [](BindingProperty body, std::optional<std::string> tag) {
                 return Velto::WriteJson(body) + " " + tag.value_or("-");
             },
             {"body", "tag"})
            .Route("/upload")
            .Method(HttpMethod::Post)
            .Location("body", ArgumentLocation::Body)
            .Location("tag", ArgumentLocation::Header);
        Bind("request",
             [](const Velto::HttpBaseTransport::Request& request, std::string q) {
                 const auto agent = request.headers.find("User-Agent");
                 return Velto::Format(
                     "%1 %2 %3 agent=%4 context=%5 q=%6", Velto::MethodName(request.method),
                     request.customMethod, request.path,
                     agent != request.headers.end() ? agent->second : "", request.callContext, q);
             },
             {"q"})
            .Route("/request/{q}");
        Bind("stream", [] {
            return std::unique_ptr<Velto::RemotingStream>(new TextStream);
        }).Route("/stream");
        Bind("teapot", [] {
            return HandlerResponse<int32_t>::Failed(418, "I'm a teapot");
        }).CustomMethod("BREW");
        Bind("plain", [] { return true; });
    }

    template <class Callable>
    Velto::FunctionBuilder Bind(const char* name, Callable callable,
                                const std::vector<std::string>& names = {}) {
        return Velto::BindCallable(registry_, bindings_, name, std::move(callable), names);
    }

    // A request that points into `call`, which must outlive it.
    static HostRequest RequestFor(const Call& call) {
        HostRequest request{};
        request.method = call.method;
        request.path = call.path.c_str();
        request.arguments = const_cast<HostArgument*>(call.arguments.data());
        request.argumentCount = static_cast<int32_t>(call.arguments.size());
        request.headers = const_cast<const char**>(call.headers.data());
        request.headerCount = static_cast<uint32_t>(call.headers.size() / 2);
        request.contentType = call.contentType;
        request.body = call.hasBody ? reinterpret_cast<const uint8_t*>(call.body.c_str()) : nullptr;
        request.bodySize = static_cast<uint32_t>(call.body.size());
        request.callContext = 77;
        request.customMethod = call.method == 8 ? "BREW" : nullptr;
        return request;
    }

    // The response to `request`, which the caller releases.
    HostResponse Respond(const std::string& function, const HostRequest& request) {
        HostResponse response{};
        Velto::DispatchToBinding(&response, request,
                                 *bindings_.Find(*registry_.FindFunction(function)));
        return response;
    }

    // The value the call answered, or "error: " and its message; the response is released.
    std::string Dispatch(const Call& call) {
        HostResponse response = Respond(call.function, RequestFor(call));
        return Outcome(response);
    }

    static std::string Outcome(HostResponse& response) {
        std::string outcome;
        if (response.errorFlag != 0) {
            outcome = "error: " + std::string(response.errorMessage);
        } else if (response.body.type == Velto::Client::kHostOwnedText) {
            outcome = response.body.payload.text.data;
        } else {
            HostResponse status{};
            BindingProperty value;
            Velto::FromHostValue(status, value, response.body, "result");
            outcome = Velto::WriteJson(value);
        }
        response.release(&response);
        return outcome;
    }

    Velto::BindingRegistry registry_;
    Velto::FunctionBindings bindings_;
};

Call Items(const std::string& path, std::vector<HostArgument> arguments = {}) {
    return {"items", 2, path, {}, std::move(arguments)};
}

Call Search(const std::string& query) {
    return {"search", 0, "search" + query};
}

Call Upload(const char* contentType, const std::string& body) {
    return {"upload", 6, "/upload", {}, {}, contentType, body, true};
}

TEST_F(DispatchTest, BindsArgumentsFromEverySource) {
    const std::string nested = "?filter" + std::string(Velto::kMaxNestingDepth, '.') + "x";
    Call jsonBody = Upload("application/json; charset=utf-8", R"({"a": [1, 2]})");
    jsonBody.headers = {"tag", "t"};
    // Beyond the first few names, headers are found through an index; a later equal name still
    // replaces an earlier one.
    std::vector<std::string> fillers;
    for (int index = 0; index < 20; ++index) {
        fillers.push_back("h" + std::to_string(index));
    }
    Call manyHeaders{"search", 0, "search"};
    for (const std::string& filler : fillers) {
        manyHeaders.headers.insert(manyHeaders.headers.end(), {filler.c_str(), "v"});
    }
    manyHeaders.headers.insert(manyHeaders.headers.end(), {"text", "early", "text", "late"});
    const struct {
        const char* name;
        Call call;
        std::string outcome;  // as Dispatch gives it
    } cases[] = {
        {"path parameter and query flag", Items("/items/5/?verbose"),
         "id=5 query=\"?verbose\" verbose"},
        {"query ending in ? binds nothing", Items("/items/5/?"), "id=5 query=\"?\""},
        {"empty value for int32", Items("/items/5/?limit="),
         "error: Expected value for argument 'limit'."},
        {"path argument from the query", Items("/items/5/?id=6"),
         "error: Argument 'id' for 'items' was specified in an invalid location."},
        {"wrong method", {"items", 6, "/items/5/"}, "error: Invalid function"},
        {"positional after the path parameters",
         Items("/items/5/", {{nullptr, Bool(true)}, {nullptr, Signed(9)}}),
         "id=5 query={} verbose limit=9"},
        {"positional beyond the arguments",
         Items("/items/5/", {{nullptr, Bool(true)}, {nullptr, Signed(9)}, {nullptr, Signed(1)}}),
         "error: Unknown argument '4' for 'items'."},
        {"named direct argument", Items("/items/5/", {{"limit", Signed(7)}}),
         "id=5 query={} limit=7"},
        {"direct argument that does not convert", Items("/items/5/", {{"verbose", Signed(7)}}),
         "error: Couldn't assign value to 'verbose' of type bool because the input is of an "
         "invalid type signed."},
        {"direct argument of an unknown tag", Items("/items/5/", {{"limit", HostValue{42, {}}}}),
         "error: Couldn't assign value to 'limit' of type object because the input is of an "
         "incompatible type ''."},
        {"function addressed by name", {"plain", 2, "plain"}, "true"},
        {"body without a body argument",
         {"plain", 2, "plain", {}, {}, "text/plain", "x", true},
         "true"},
        {"dotted keys build a record", Search("?filter.name=x&filter.ids.0=5&filter.ids.0x2=7"),
         "filter=x[5;;7;] query"},
        {"octal index", Search("?filter.ids.010=1"), "filter=[;;;;;;;;1;] query"},
        {"index with leftover characters", Search("?filter.ids.1x=1"),
         "error: Index 1x is in an incorrect format"},
        {"index too large", Search("?filter.ids.4294967296=1"),
         "error: Index 4294967296 is out of range"},
        {"index far beyond the request", Search("?filter.ids.60000000=1"),
         "error: Index 60000000 is out of range"},
        {"key nesting too deep", Search(nested),
         "error: " + std::string(Velto::kNestingTooDeepMessage)},
        {"JSON detected for a record", Search("?filter=%7B%22name%22:%22j%22%7D"),
         "filter=j[] query"},
        {"YAML detected for an object", Search("?object=---%0Aa: 1"), R"(object={"a":1} query)"},
        {"MessagePack detected for a vector", Search("?list=%92%01%02%C0"), "list=1;2; query"},
        {"truncated MessagePack value", Search("?list=%92%01"),
         "error: Couldn't deserialize MessagePack value for parameter 'list' of 'search': "
         "Incomplete MessagePack data"},
        {"bad JSON value", Search("?object=%5B1"),
         "error: Couldn't deserialize JSON value for parameter 'object' of 'search': Error: "
         "Missing a comma or ']' after an array element. at offset 2."},
        {"empty value for a vector", Search("?list"), "list= query"},
        {"header by lower-case name",
         {"search", 0, "search", {"text", "from-header", "Flag", "1"}},
         "text=from-header"},
        {"header among many, the later of two", manyHeaders, "text=late"},
        {"JSON body", jsonBody, R"({"a":[1,2]} t)"},
        {"YAML body", Upload("application/x-yaml", "a: b"), R"({"a":"b"} -)"},
        {"MessagePack body", Upload("application/x-msgpack", "\x81\xA1\x61\x01"), R"({"a":1} -)"},
        {"MessagePack body with extra byte",
         Upload("application/x-msgpack", std::string("\x81\xA1\x61\x01\x00", 5)),
         "error: Extra MessgePack data found in body"},
        {"truncated MessagePack body", Upload("application/x-msgpack", "\x82\xA1\x61\x01"),
         "error: Incomplete MessagePack data in body"},
        {"text/x-yaml body", Upload("text/x-yaml", "a: b"), "error: Unsupported body content type"},
        {"body that does not parse", Upload("application/json", "["),
         "error: Error: Invalid value. at offset 1."},
        {"no body", {"upload", 6, "/upload"}, " -"},
        {"transport request",
         {"request", 2, "/request/1", {"User-Agent", "a", "User-Agent", "b"}},
         "GET  /request/1 agent=b context=77 q=1"},
        {"custom method", {"teapot", 8, "teapot"}, "error: I'm a teapot"},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(Dispatch(test.call), test.outcome) << test.name;
    }
}

TEST_F(DispatchTest, HandsAReturnedStreamToTheHost) {
    HostResponse response = Respond("stream", RequestFor({"stream", 2, "/stream"}));
    ASSERT_NE(static_cast<void*>(response.stream), nullptr);
    uint8_t buffer[8] = {};
    uint32_t size = sizeof buffer;
    uint8_t more = 1;
    const int read = response.streamRead(response.stream, buffer, &size, &more);
    // length, the read's result, the text it delivered and the more flag
    EXPECT_EQ(std::to_string(response.streamLengthLow) + " " + std::to_string(read) + " " +
                  std::string(reinterpret_cast<char*>(buffer), size) + " " + std::to_string(more),
              "5 1 hello 0");
    // A read that throws delivers nothing and ends the stream; a null stream is refused.
    more = 1;
    EXPECT_EQ(response.streamRead(response.stream, nullptr, &size, &more), 0);
    EXPECT_EQ(size + more, 0u);
    EXPECT_EQ(response.streamRead(nullptr, buffer, &size, &more), 0);
    response.streamRelease(response.stream);
    response.release(&response);
}

TEST_F(DispatchTest, HostileRequestsGetClearErrors) {
    HostRequest request{};
    request.method = 2;
    request.headerCount = 3;
    request.argumentCount = 2;
    request.bodySize = 10;
    HostResponse response = Respond("items", request);
    EXPECT_EQ(Outcome(response), "error: Invalid function") << "null path";
    request.path = "/items/1/";
    const char* headers[] = {nullptr, "x", "verbose", nullptr, "limit", "2"};
    request.headers = headers;
    response = Respond("items", request);
    EXPECT_EQ(Outcome(response), "id=1 query={} limit=2");

    Velto::HandleHostCall(&response, &request);
    EXPECT_EQ(Outcome(response), "error: Invalid function") << "function context never handed out";
    Velto::HandleHostCall(&response, nullptr);
    EXPECT_EQ(uint32_t{response.statusCode}, 404u);
    response.release(&response);
    Velto::HandleHostCall(nullptr, &request);
}

// Nothing a function throws reaches the host: the call fails with the exception's text.
TEST_F(DispatchTest, ExceptionsBecomeFailures) {
    // A stream's length is asked for only once the response is being written.
    class LengthlessStream final : public TextStream {
        uint32_t length() override { throw std::runtime_error("no length"); }
    };
    Bind("fail",
         [](int32_t mode) -> std::unique_ptr<Velto::RemotingStream> {
             if (mode == 0) {
                 throw std::runtime_error("out of boosts");
             }
             if (mode == 2) {
                 return std::make_unique<LengthlessStream>();
             }
             throw 7;
         },
         {"mode"});
    Velto::ApiDescription description;
    description.Build(nullptr, registry_, bindings_, &Velto::HandleHostCall);
    const Velto::Client::ApiDescriptor& descriptor = *description.Descriptor();
    const auto entry =
        std::find_if(descriptor.functions, descriptor.functions + descriptor.functionCount,
                     [](const Velto::Client::ApiFunctionEntry& function) {
                         return function.signature.name == std::string("fail");
                     });
    ASSERT_NE(entry, descriptor.functions + descriptor.functionCount);
    for (const int32_t mode : {0, 1, 2}) {
        HostArgument argument{nullptr, Signed(mode)};
        HostRequest request{};
        request.method = 2;
        request.path = "fail";
        request.arguments = &argument;
        request.argumentCount = 1;
        request.functionContext = entry->callContext;
        HostResponse response{};
        entry->call(&response, &request);
        const char* const expected[] = {"error: out of boosts", "error: Unknown exception",
                                        "error: no length"};
        EXPECT_EQ(Outcome(response), expected[mode]);
    }
}

TEST_F(DispatchTest, LongPathsAreSafe) {
    const std::string digits(1 << 20, '7');
    EXPECT_EQ(Dispatch(Items("/items/" + digits + "/")).substr(0, 19), "error: Value 777777")
        << "messages are cut, not lost";
    EXPECT_EQ(Dispatch(Search("?" + std::string(1 << 20, '&'))),
              "error: Unknown argument '' for 'search'.");
}

TEST(FunctionRegistration, RefusesMismatchedArgumentNamesAndRebinding) {
    Velto::BindingRegistry registry;
    Velto::FunctionBindings bindings;
    const auto one = [](int32_t) { return 1; };
    EXPECT_TRUE(Velto::BindCallable(registry, bindings, "f", one, {}).Failed());
    const Velto::FunctionBuilder first = Velto::BindCallable(registry, bindings, "f", one, {"a"});
    ASSERT_FALSE(first.Failed());
    EXPECT_EQ(Velto::BindCallable(registry, bindings, "f", one, {"b"}).Binding(), first.Binding());
    EXPECT_TRUE(Velto::BindCallable(registry, bindings, "f", [] { return 1; }).Failed());
    EXPECT_TRUE(Velto::FunctionBuilder(first).Location("zz", ArgumentLocation::Body).Failed());
}

// The dispatch test's "request" function takes the other identity.
TEST(TransportRequest, OnlyTheTwoRequestIdentitiesTakeARequest) {
    using Velto::StaticType::HashCode;
    EXPECT_TRUE(Velto::TakesTransportRequest(HashCode<Velto::RemotingRequest>()));
    EXPECT_FALSE(Velto::TakesTransportRequest(HashCode<void>()));
}

}  // namespace
